// The poll's probe on Windows (ReachProbe): IcmpSendEcho, which blocks until
// the reply or the time-out, on a pool of threads as EchoProbe does; for a
// host still silent when its first request has had its share of the window,
// TCP connections started without blocking (Windows Sockets) and a second
// echo request for the rest of the window, the connections' outcome read
// last. (Windows tries a connection again after a reset for about a second,
// so a refused connection proves a host on only where the system reports
// the reset at once; an accepted one always does.)

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <ws2tcpip.h>

#include <windows.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "platform.h"

namespace toolkit::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kProbeThreads = 64;
// The reply record, its 8 bytes of ICMP error data and some room; only filled.
constexpr DWORD kReplyBytes = 128;

bool SocketsStarted() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

// At least one reply record: an echo reply, or an error report about the
// request, whose status is not read (as IcmpProbe).
bool Echo(HANDLE icmp, std::uint32_t address, Clock::duration wait) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wait).count();
    if (ms <= 0) return false;
    alignas(8) unsigned char reply[kReplyBytes];
    return IcmpSendEcho(icmp, address, nullptr, 0, nullptr, reply, kReplyBytes,
                        static_cast<DWORD>(ms)) > 0;
}

// One host's connections, one per port, started without blocking.
class Connections {
  public:
    Connections(std::uint32_t address, const std::vector<std::uint16_t>& ports) {
        if (!SocketsStarted()) return;
        for (const std::uint16_t port : ports) {
            const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            if (s == INVALID_SOCKET) return;
            u_long nonBlocking = 1;
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(port);
            to.sin_addr.s_addr = address;
            if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
                closesocket(s);
                continue;
            }
            if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
                proven_ = true;
            } else if (WSAGetLastError() == WSAECONNREFUSED) {
                proven_ = true;
            } else if (WSAGetLastError() != WSAEWOULDBLOCK) {
                closesocket(s);
                continue;
            }
            sockets_.push_back(s);
        }
    }
    ~Connections() {
        for (const SOCKET s : sockets_) Abort(s);
    }
    Connections(const Connections&) = delete;
    Connections& operator=(const Connections&) = delete;

    // True once one connection was accepted, or refused by the host; waits
    // at most until `deadline` for it.
    bool Proof(Clock::time_point deadline) {
        while (!proven_ && !sockets_.empty()) {
            fd_set written;
            fd_set failed;
            FD_ZERO(&written);
            FD_ZERO(&failed);
            for (const SOCKET s : sockets_) {
                FD_SET(s, &written);
                FD_SET(s, &failed);
            }
            const auto left = std::max(Clock::duration::zero(), deadline - Clock::now());
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
            timeval wait{static_cast<long>(us / 1000000), static_cast<long>(us % 1000000)};
            if (select(0, nullptr, &written, &failed, &wait) <= 0) return false;
            std::erase_if(sockets_, [&](SOCKET s) { return Settle(s, written, failed); });
        }
        return proven_;
    }

  private:
    static void Abort(SOCKET s) {
        const linger now{1, 0};
        setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&now), sizeof now);
        closesocket(s);
    }
    // A connection that ended: accepted (written) or failed; a refused one
    // was refused by the host. True when it is over and closed.
    bool Settle(SOCKET s, const fd_set& written, const fd_set& failed) {
        if (FD_ISSET(s, &written)) {
            proven_ = true;
        } else if (FD_ISSET(s, &failed)) {
            int error = 0;
            int size = sizeof error;
            getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
            if (error == WSAECONNREFUSED) proven_ = true;
        } else {
            return false;
        }
        Abort(s);
        return true;
    }

    std::vector<SOCKET> sockets_;
    bool proven_ = false;
};

std::optional<Clock::duration> AfterMs(int milliseconds) {
    if (milliseconds < 0) return std::nullopt;
    return std::chrono::milliseconds(milliseconds);
}

bool ReachHost(HANDLE icmp, std::uint32_t address, const ReachPlan& plan) {
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline =
        start + std::chrono::milliseconds(std::max(plan.timeoutMs, 0));
    const auto second = AfterMs(plan.secondRequestMs);
    const auto tcp = plan.tcpPorts.empty() ? std::nullopt : AfterMs(plan.tcpAfterMs);
    // The first request waits until the earlier follow-up is due.
    Clock::time_point firstUntil = deadline;
    for (const auto& after : {second, tcp}) {
        if (after) firstUntil = std::min(firstUntil, start + *after);
    }
    if (Echo(icmp, address, firstUntil - start)) return true;
    std::optional<Connections> connections;
    if (tcp) connections.emplace(address, plan.tcpPorts);
    if (connections && connections->Proof(Clock::now())) return true;
    if (second && Echo(icmp, address, deadline - Clock::now())) return true;
    return connections && connections->Proof(deadline);
}

void ProbeShare(const std::vector<std::uint32_t>& addresses, const ReachPlan& plan,
                std::atomic<std::size_t>& next, std::vector<char>& on) {
    const HANDLE icmp = IcmpCreateFile();
    if (icmp == INVALID_HANDLE_VALUE) return;
    for (std::size_t i = next++; i < addresses.size(); i = next++) {
        if (addresses[i] != 0) on[i] = ReachHost(icmp, addresses[i], plan) ? 1 : 0;
    }
    IcmpCloseHandle(icmp);
}

}  // namespace

std::vector<bool> ReachProbe(const std::vector<std::uint32_t>& addressesNetworkOrder,
                             const ReachPlan& plan) {
    std::vector<char> on(addressesNetworkOrder.size(), 0);
    std::atomic<std::size_t> next{0};
    const std::size_t threadCount = std::min(kProbeThreads, addressesNetworkOrder.size());
    std::vector<std::thread> threads;
    threads.reserve(threadCount);
    for (std::size_t t = 0; t < threadCount; ++t) {
        try {
            threads.emplace_back(ProbeShare, std::cref(addressesNetworkOrder), std::cref(plan),
                                 std::ref(next), std::ref(on));
        } catch (const std::system_error&) {
            break;  // the threads already started share the work
        }
    }
    if (threads.empty()) ProbeShare(addressesNetworkOrder, plan, next, on);
    for (auto& thread : threads) thread.join();
    return std::vector<bool>(on.begin(), on.end());
}

}  // namespace toolkit::platform
