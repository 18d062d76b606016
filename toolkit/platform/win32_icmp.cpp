// ICMP echo on Windows: IcmpSendEcho2, which needs no raw socket and no
// rights. Every request of a sweep is in flight at once, each completing on
// an event of its own: an echo to a silent address of the LAN is held until
// the neighbour look-up fails (about 3 s under Wine, whatever the echo's
// time-out; Windows' own is reported to wait for it too), so a sweep that waited
// for its echoes a few at a time paid that wait once per round. All at once,
// a /24 pays it once.

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <memory>
#include <set>
#include <vector>

#include "platform.h"

namespace toolkit::platform {

namespace {

using Clock = std::chrono::steady_clock;

// Requests outstanding at once: a /22 in one round. A larger sweep sends the
// next request as the oldest one completes.
constexpr std::size_t kInFlight = 1024;
// The reply record, its 8 bytes of ICMP error data, the status block of the
// asynchronous call and some room.
constexpr DWORD kReplyBytes = 128;
// How long past its own time-out a request may take to complete: the system
// holds it during the neighbour look-up. One that never completes counts as
// unanswered.
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
struct Request {
    HANDLE event = nullptr;
    Clock::time_point deadline;
    alignas(8) unsigned char reply[kReplyBytes];
};

class Sweep {
  public:
    Sweep(const std::vector<std::uint32_t>& addresses, int timeoutMs)
        : addresses_(addresses),
          timeoutMs_(timeoutMs),
          requests_(new Request[addresses.size()]),
          answered_(addresses.size(), false) {
        for (const AddressRow& row : LocalAddressRows()) ownAddresses_.insert(row.address);
    }

    ~Sweep() {
        // A request the system still holds would write into freed memory: its
        // storage is left to the process rather than freed.
        if (abandoned_) {
            icmp_.Close();
            static_cast<void>(requests_.release());
        }
    }
    Sweep(const Sweep&) = delete;
    Sweep& operator=(const Sweep&) = delete;

    std::vector<bool> Run() {
        if (!icmp_.Valid()) return answered_;
        for (std::size_t i = 0; i < addresses_.size(); ++i) {
            while (pending_.size() >= kInFlight) CompleteOldest();
            Send(i);
        }
        while (!pending_.empty()) CompleteOldest();
        return answered_;
    }

  private:
    // Address 0 is never sent: it is the unresolvable host. A request that
    // fails at once (no route, no event to be had) is unanswered.
    void Send(std::size_t i) {
        if (addresses_[i] == 0) return;
        Request& request = requests_[i];
        request.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (request.event == nullptr) return;
        request.deadline = Clock::now() + std::chrono::milliseconds(timeoutMs_) + kCompletionGrace;
        const DWORD replies =
            IcmpSendEcho2(icmp_.Get(), request.event, nullptr, nullptr, addresses_[i], nullptr, 0,
                          nullptr, request.reply, kReplyBytes, static_cast<DWORD>(timeoutMs_));
        if (replies == 0 && GetLastError() == ERROR_IO_PENDING) {
            pending_.push_back(i);
            return;
        }
        answered_[i] = replies > 0 && Answered(request);
        CloseHandle(request.event);
    }

    // An echo reply, or an error report about the request from the network (a
    // router telling the host unreachable). When nobody answers its address
    // query, this machine's own stack reports the host unreachable, from one
    // of its own addresses: that says nothing of the host.
    bool Answered(const Request& request) const {
        const auto* reply = reinterpret_cast<const ICMP_ECHO_REPLY*>(request.reply);
        return reply->Status == IP_SUCCESS || ownAddresses_.count(reply->Address) == 0;
    }

    void CompleteOldest() {
        const std::size_t i = pending_.front();
        pending_.pop_front();
        Request& request = requests_[i];
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(request.deadline - Clock::now());
        const DWORD waitMs = static_cast<DWORD>(std::max<std::int64_t>(left.count(), 0));
        if (WaitForSingleObject(request.event, waitMs) != WAIT_OBJECT_0) {
            abandoned_ = true;  // its event stays open with its storage
            return;
        }
        answered_[i] = IcmpParseReplies(request.reply, kReplyBytes) > 0 && Answered(request);
        CloseHandle(request.event);
    }

    const std::vector<std::uint32_t>& addresses_;
    const int timeoutMs_;
    IcmpHandle icmp_;
    std::unique_ptr<Request[]> requests_;
    std::vector<bool> answered_;
    std::deque<std::size_t> pending_;  // in sending order
    std::set<std::uint32_t> ownAddresses_;
    bool abandoned_ = false;
};

}  // namespace

bool IcmpSocketAvailable() {
    return IcmpHandle().Valid();
}

std::vector<bool> EchoProbe(const std::vector<std::uint32_t>& addressesNetworkOrder,
                            int timeoutMs) {
    return Sweep(addressesNetworkOrder, timeoutMs).Run();
}

}  // namespace toolkit::platform
