// ICMP echo on Windows: IcmpSendEcho, which needs no raw socket and no
// rights. It blocks until the reply or the time-out, so a sweep runs its
// probes side by side on a few threads, each with its own handle.

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

#include "platform.h"

namespace toolkit::platform {

namespace {

// Requests in flight at once: a /24 takes four rounds of the time-out. Under
// Wine a silent address holds its thread while its neighbour look-up fails
// (about 3 s on Linux), and 256 at once lost replies there.
constexpr std::size_t kProbeThreads = 64;
// The reply record, its 8 bytes of ICMP error data and some room; only filled.
constexpr DWORD kReplyBytes = 128;

class IcmpHandle {
  public:
    IcmpHandle() : handle_(IcmpCreateFile()) {}
    ~IcmpHandle() {
        if (Valid()) IcmpCloseHandle(handle_);
    }
    IcmpHandle(const IcmpHandle&) = delete;
    IcmpHandle& operator=(const IcmpHandle&) = delete;
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    // At least one reply record: an echo reply, or an error report about the
    // request (a router telling the host unreachable), whose status is not read.
    bool Echo(std::uint32_t address, int timeoutMs) const {
        alignas(8) unsigned char reply[kReplyBytes];
        return IcmpSendEcho(handle_, address, nullptr, 0, nullptr, reply, kReplyBytes,
                            static_cast<DWORD>(timeoutMs)) > 0;
    }

  private:
    HANDLE handle_;
};

// Address 0 is never sent: it is the unresolvable host.
void ProbeShare(const std::vector<std::uint32_t>& addresses, int timeoutMs,
                std::atomic<std::size_t>& next, std::vector<char>& answered) {
    const IcmpHandle icmp;
    if (!icmp.Valid()) return;
    for (std::size_t i = next++; i < addresses.size(); i = next++) {
        if (addresses[i] != 0) answered[i] = icmp.Echo(addresses[i], timeoutMs) ? 1 : 0;
    }
}

}  // namespace

bool IcmpSocketAvailable() {
    return IcmpHandle().Valid();
}

std::vector<bool> EchoProbe(const std::vector<std::uint32_t>& addressesNetworkOrder,
                            int timeoutMs) {
    std::vector<char> answered(addressesNetworkOrder.size(), 0);
    std::atomic<std::size_t> next{0};
    const std::size_t threadCount = std::min(kProbeThreads, addressesNetworkOrder.size());
    std::vector<std::thread> threads;
    threads.reserve(threadCount);
    for (std::size_t t = 0; t < threadCount; ++t) {
        try {
            threads.emplace_back(ProbeShare, std::cref(addressesNetworkOrder), timeoutMs,
                                 std::ref(next), std::ref(answered));
        } catch (const std::system_error&) {
            break;  // the threads already started share the work
        }
    }
    if (threads.empty()) ProbeShare(addressesNetworkOrder, timeoutMs, next, answered);
    for (auto& thread : threads) thread.join();
    return std::vector<bool>(answered.begin(), answered.end());
}

}  // namespace toolkit::platform
