// ICMP echo on Windows: IcmpSendEcho2, which needs no raw socket and no
// rights. Every request of a sweep or a poll is in flight at once, each
// completing on an event of its own: an echo to a silent address of the LAN
// may be held until the neighbour look-up fails (about 3 s under Wine,
// whatever the echo's time-out; Windows' own is reported to wait for it
// too), so a sweep that waited for its echoes a few at a time paid that wait
// once per round. All at once, a /24 pays it once. The poll's follow-ups
// (ReachPlan) join them: a host still silent gets its second request and its
// TCP connections (win32_tcp.h) when they are due, and all are waited on
// together until the host's window ends. The book-keeping (EchoWindow) is
// the one the POSIX probe keeps.

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "platform/echo_window.h"
#include "platform/platform.h"
#include "platform/win32_tcp.h"

namespace toolkit::platform {

namespace {

using Clock = EchoWindow::Clock;

// Hosts in their window at once: a /22 in one round. A larger sweep starts
// the next host as the oldest one is settled.
constexpr std::size_t kInFlight = 1024;
// The reply record, its 8 bytes of ICMP error data, the status block of the
// asynchronous call and some room.
constexpr DWORD kReplyBytes = 128;
// How long a request the system still holds after the run may take to
// complete once its handle is closed; one that never completes keeps its
// storage, left to the process.
constexpr std::chrono::seconds kCompletionGrace{10};

class IcmpHandle {
  public:
    IcmpHandle() : handle_(IcmpCreateFile()) {}
    ~IcmpHandle() { Close(); }
    IcmpHandle(const IcmpHandle&) = delete;
    IcmpHandle& operator=(const IcmpHandle&) = delete;
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    void Close() {
        if (Valid()) IcmpCloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

  private:
    HANDLE handle_;
};

// One echo request: the system writes its reply into `reply` and then sets
// `event`, so both must outlive the request.
struct Echo {
    HANDLE event = nullptr;
    bool pending = false;
    alignas(8) unsigned char reply[kReplyBytes];
};

// What the run keeps of one host.
struct Host {
    Clock::time_point deadline;
    Echo first;
    std::unique_ptr<Echo> second;
    std::unique_ptr<Connections> connections;
};

std::optional<Clock::duration> AfterMs(int milliseconds) {
    if (milliseconds < 0) return std::nullopt;
    return std::chrono::milliseconds(milliseconds);
}

DWORD MillisecondsUntil(Clock::time_point when) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now());
    return static_cast<DWORD>(std::max<std::int64_t>(left.count(), 0));
}

class Probe {
  public:
    Probe(const std::vector<std::uint32_t>& addresses, const ReachPlan& plan)
        : addresses_(addresses),
          ports_(plan.tcpPorts),
          timeout_(std::chrono::milliseconds(std::max(plan.timeoutMs, 0))),
          window_(addresses, timeout_, kInFlight,
                  {AfterMs(plan.secondRequestMs),
                   plan.tcpPorts.empty() ? std::nullopt : AfterMs(plan.tcpAfterMs)}),
          hosts_(new Host[addresses.size()]) {
        for (const AddressRow& row : LocalAddressRows()) ownAddresses_.insert(row.address);
    }

    ~Probe() {
        // A request the system still holds would write into freed memory:
        // closing the handle ends it, and one that still does not complete
        // leaves its storage to the process.
        icmp_.Close();
        const Clock::time_point until = Clock::now() + kCompletionGrace;
        bool held = false;
        for (std::size_t i = 0; i < addresses_.size(); ++i) {
            for (Echo* echo : {&hosts_[i].first, hosts_[i].second.get()}) {
                if (echo != nullptr && echo->pending) held |= !Complete(*echo, until);
            }
        }
        if (held) static_cast<void>(hosts_.release());
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    std::vector<bool> Run() {
        if (!icmp_.Valid()) return std::vector<bool>(addresses_.size(), false);
        while (!window_.Finished()) {
            SendFirstRequests();
            SendFollowUps();
            if (window_.Finished()) break;
            DropSettled();
            WaitForOldest();
            const Clock::time_point now = Clock::now();
            ReadDue(now);
            window_.Expire(now);
            DropSettled();
        }
        return window_.Results();
    }

  private:
    // True when the request was sent (in flight or already back); a reply
    // already back is read.
    bool Send(std::size_t i, Echo& echo, Clock::duration timeout) {
        echo.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (echo.event == nullptr) return false;
        const DWORD ms = std::max<DWORD>(1, MillisecondsUntil(Clock::now() + timeout));
        const DWORD replies =
            IcmpSendEcho2(icmp_.Get(), echo.event, nullptr, nullptr, addresses_[i], nullptr, 0,
                          nullptr, echo.reply, kReplyBytes, ms);
        if (replies == 0 && GetLastError() == ERROR_IO_PENDING) {
            echo.pending = true;
            return true;
        }
        CloseHandle(echo.event);
        echo.event = nullptr;
        if (replies == 0) return false;
        if (Answered(echo)) answeredAtOnce_.push_back(i);
        return true;
    }

    void SendFirstRequests() {
        while (const auto request = window_.NextToSend()) {
            const std::size_t i = request->sequence;
            const Clock::time_point now = Clock::now();
            if (!Send(i, hosts_[i].first, timeout_)) {
                window_.Refused();
                continue;
            }
            window_.Sent(now);
            hosts_[i].deadline = now + timeout_;
            inFlight_.push_back(i);
        }
        for (const std::size_t i : answeredAtOnce_) window_.Answer(Sequence(i), addresses_[i]);
        answeredAtOnce_.clear();
    }

    // What is due to the hosts still silent once what came back is read: a
    // second request for the rest of the window, and the connections.
    void SendFollowUps() {
        const Clock::time_point now = Clock::now();
        while (const auto request = window_.DueSecondRequest(now)) {
            Host& host = hosts_[request->sequence];
            if (!Read(request->sequence)) continue;
            host.second = std::make_unique<Echo>();
            Send(request->sequence, *host.second, host.deadline - Clock::now());
        }
        while (const auto request = window_.DueOtherProof(now)) {
            if (!Read(request->sequence)) continue;
            hosts_[request->sequence].connections =
                std::make_unique<Connections>(request->destination, ports_);
        }
        for (const std::size_t i : answeredAtOnce_) window_.Answer(Sequence(i), addresses_[i]);
        answeredAtOnce_.clear();
    }

    // Waits on the oldest unsettled host's requests and connections until
    // something of it ends, or its deadline or a follow-up comes.
    void WaitForOldest() {
        const auto until = window_.NextEvent();
        if (!until || inFlight_.empty()) return;
        const std::size_t i = inFlight_.front();
        Host& host = hosts_[i];
        HANDLE handles[3];
        DWORD count = 0;
        for (const Echo* echo : {&host.first, host.second.get()}) {
            if (echo != nullptr && echo->pending) handles[count++] = echo->event;
        }
        if (host.connections && host.connections->Open()) {
            handles[count++] = host.connections->Event();
        }
        const DWORD ms = MillisecondsUntil(*until);
        if (count == 0) {
            Sleep(ms);
        } else {
            WaitForMultipleObjects(count, handles, FALSE, ms);
        }
        Read(i);
    }

    // Reads the hosts whose deadline has come, before the window gives them up.
    void ReadDue(Clock::time_point now) {
        for (const std::size_t i : inFlight_) {
            if (hosts_[i].deadline > now) break;
            Read(i);
        }
    }

    // Reads what ended of host i's tries; true while it is still silent.
    bool Read(std::size_t i) {
        if (!window_.Waiting(Sequence(i))) return false;
        Host& host = hosts_[i];
        bool on = false;
        for (Echo* echo : {&host.first, host.second.get()}) {
            if (echo != nullptr && echo->pending && Complete(*echo, Clock::time_point{})) {
                on |= IcmpParseReplies(echo->reply, kReplyBytes) > 0 && Answered(*echo);
            }
        }
        if (host.connections) on |= host.connections->Collect();
        if (!on) return true;
        window_.Answer(Sequence(i), addresses_[i]);
        host.connections.reset();
        return false;
    }

    // The settled hosts leave the front; their connections end now, and
    // their requests still held are waited for at the end.
    void DropSettled() {
        while (!inFlight_.empty() && !window_.Waiting(Sequence(inFlight_.front()))) {
            hosts_[inFlight_.front()].connections.reset();
            inFlight_.pop_front();
        }
    }

    // True when the request completed by `until`; its event is then closed.
    static bool Complete(Echo& echo, Clock::time_point until) {
        if (WaitForSingleObject(echo.event, MillisecondsUntil(until)) != WAIT_OBJECT_0)
            return false;
        echo.pending = false;
        CloseHandle(echo.event);
        echo.event = nullptr;
        return true;
    }

    // An echo reply, or an error report about the request from the network (a
    // router telling the host unreachable). When nobody answers its address
    // query, this machine's own stack reports the host unreachable, from one
    // of its own addresses: that says nothing of the host.
    bool Answered(const Echo& echo) const {
        const auto* reply = reinterpret_cast<const ICMP_ECHO_REPLY*>(echo.reply);
        return reply->Status == IP_SUCCESS || ownAddresses_.count(reply->Address) == 0;
    }

    static std::uint16_t Sequence(std::size_t i) { return static_cast<std::uint16_t>(i); }

    const std::vector<std::uint32_t>& addresses_;
    const std::vector<std::uint16_t>& ports_;
    const Clock::duration timeout_;
    EchoWindow window_;
    IcmpHandle icmp_;
    std::unique_ptr<Host[]> hosts_;
    std::deque<std::size_t> inFlight_;  // in sending order, hence deadline order
    std::vector<std::size_t> answeredAtOnce_;
    std::set<std::uint32_t> ownAddresses_;
};

}  // namespace

bool IcmpSocketAvailable() {
    return IcmpHandle().Valid();
}

std::vector<bool> EchoProbe(const std::vector<std::uint32_t>& addressesNetworkOrder,
                            int timeoutMs) {
    return ReachProbe(addressesNetworkOrder, ReachPlan{timeoutMs, -1, -1, {}});
}

std::vector<bool> ReachProbe(const std::vector<std::uint32_t>& addressesNetworkOrder,
                             const ReachPlan& plan) {
    const std::size_t count = addressesNetworkOrder.size();
    try {
        std::vector<bool> results;
        results.reserve(count);
        for (std::size_t start = 0; start < count; start += EchoWindow::kMaxBatch) {
            const auto first = addressesNetworkOrder.begin() + static_cast<std::ptrdiff_t>(start);
            const auto last =
                first + static_cast<std::ptrdiff_t>(std::min(EchoWindow::kMaxBatch, count - start));
            const std::vector<std::uint32_t> batch(first, last);
            const std::vector<bool> part = Probe(batch, plan).Run();
            results.insert(results.end(), part.begin(), part.end());
        }
        return results;
    } catch (...) {
        return std::vector<bool>(count, false);
    }
}

}  // namespace toolkit::platform
