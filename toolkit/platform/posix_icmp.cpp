// Echo probing of many hosts at once. One non-blocking socket serves a whole
// batch: requests carry their index as sequence number and each has its own
// deadline, so hundreds of hosts cost little more than one time-out. A host
// still silent part of the way through its window gets a second request and
// TCP connections (ReachPlan), watched in the same wait as the echo socket.
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <optional>
#include <random>

#include "platform/echo_window.h"
#include "platform/platform.h"
#include "platform/posix_arp.h"
#include "platform/posix_icmp_socket.h"
#include "platform/posix_tcp.h"

namespace toolkit::platform {
namespace {

using Clock = EchoWindow::Clock;

// Requests in flight at once, each with its own deadline.
constexpr std::size_t kMaxInFlight = 256;
// The neighbour table is looked at again this often while it is full (see
// NeighbourRoom); where it cannot be read, at most this many requests leave
// in any such period, which keeps a full table's worth of unanswered entries
// below the kernel's default limit (1024) until it reclaims them.
constexpr auto kNeighbourRecheck = std::chrono::milliseconds(10);
constexpr std::size_t kNeighbourBudget = 400;
constexpr auto kNeighbourHold = std::chrono::seconds(5);
// Requests sent in a row before the replies already queued are read, so that
// the receive buffer does not overflow while a full window goes out.
constexpr std::size_t kSendBurst = 32;
// TCP connections open at once: each host tried takes one per port, and the
// process's descriptors are limited (1024 by default).
constexpr std::size_t kMaxConnections = 500;
// When the send buffer is full, sending is retried at this pace ...
constexpr auto kBlockedRetry = std::chrono::milliseconds(2);
// ... and the requests still unsent are given up after this long without
// progress.
constexpr auto kSendStallLimit = std::chrono::seconds(5);

// The neighbour table is shared by the whole host, so its room is counted
// across batches and threads.
class SharedNeighbourRoom {
  public:
    bool TryTake(Clock::time_point now) {
        const std::lock_guard lock(mutex_);
        return room_.TryTake(now);
    }
    Clock::time_point NextLook() {
        const std::lock_guard lock(mutex_);
        return room_.NextLook();
    }

  private:
    std::mutex mutex_;
    NeighbourRoom room_{ReadNeighbourLoad, kNeighbourRecheck, kNeighbourBudget, kNeighbourHold};
};

SharedNeighbourRoom& SharedRoom() {
    static SharedNeighbourRoom room;
    return room;
}

struct SendState {
    Clock::time_point lastProgress = Clock::now();
    bool socketFull = false;
};

SendOutcome SendOrRetry(const IcmpSocket& socket, EchoWindow& window,
                        const EchoWindow::Request& request) {
    const SendOutcome outcome = SendRequest(socket, request);
    if (outcome != SendOutcome::Failed) return outcome;
    // An error report about an earlier request is also handed out by the next
    // send on the socket; once the reports are read, the second try tells
    // whether this request itself is refused.
    ReadAnswers(socket, window);
    return SendRequest(socket, request);
}

// Sends what the window and the pace allow. Returns when to try again if
// requests wait for the pace or for room in the socket.
std::optional<Clock::time_point> SendAvailable(const IcmpSocket& socket, EchoWindow& window,
                                               SendState& state) {
    state.socketFull = false;
    std::size_t burst = 0;
    while (const auto request = window.NextToSend()) {
        const Clock::time_point now = Clock::now();
        if (!SharedRoom().TryTake(now)) return std::max(SharedRoom().NextLook(), now);
        const SendOutcome outcome = SendOrRetry(socket, window, *request);
        if (outcome == SendOutcome::Blocked) {
            state.socketFull = true;
            return now + kBlockedRetry;
        }
        state.lastProgress = Clock::now();
        if (outcome == SendOutcome::Sent) {
            window.Sent(state.lastProgress);
        } else {
            window.Refused();
        }
        if (++burst % kSendBurst == 0) ReadAnswers(socket, window);
    }
    return std::nullopt;
}

// What is due now to the hosts still silent: their second request (a lost
// one is not tried again: the first request stands) and their connections.
void SendFollowUps(const IcmpSocket& socket, EchoWindow& window, ConnectTries& connections) {
    const Clock::time_point now = Clock::now();
    while (const auto again = window.DueSecondRequest(now)) {
        if (SendOrRetry(socket, window, *again) == SendOutcome::Blocked) break;
    }
    while (const auto host = window.DueOtherProof(now)) connections.Start(*host, window);
}

int WaitMilliseconds(const EchoWindow& window, std::optional<Clock::time_point> resume) {
    std::optional<Clock::time_point> until = window.NextEvent();
    if (resume && (!until || *resume < *until)) until = resume;
    if (!until) return 0;
    const auto wait = std::max(Clock::duration::zero(), *until - Clock::now());
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}

std::optional<Clock::duration> AfterMs(int milliseconds) {
    if (milliseconds < 0) return std::nullopt;
    return std::chrono::milliseconds(milliseconds);
}

// One batch on one socket, so that answers to an earlier batch, which reuse
// its sequence numbers, cannot reach it.
std::vector<bool> ProbeBatch(const std::vector<std::uint32_t>& destinations, const ReachPlan& plan,
                             std::uint16_t identifier) {
    const auto timeout = std::chrono::milliseconds(std::max(plan.timeoutMs, 0));
    const bool tcp = !plan.tcpPorts.empty();
    EchoWindow window(
        destinations, timeout, kMaxInFlight,
        {AfterMs(plan.secondRequestMs), tcp ? AfterMs(plan.tcpAfterMs) : std::nullopt});
    if (window.Finished()) return window.Results();
    const auto socket = OpenIcmpSocket(identifier);
    if (!socket) return window.Results();
    ConnectTries connections(plan.tcpPorts, kMaxConnections);
    SendState state;
    std::vector<pollfd> watches;
    for (;;) {
        const auto resume = SendAvailable(*socket, window, state);
        SendFollowUps(*socket, window, connections);
        if (window.Finished()) break;
        watches.assign(1, {socket->Fd(), POLLIN, 0});  // error reports raise POLLERR
        connections.Watch(watches);
        if (poll(watches.data(), watches.size(), WaitMilliseconds(window, resume)) < 0 &&
            errno != EINTR) {
            break;
        }
        ReadAnswers(*socket, window);
        connections.Collect(watches, 1, window);
        const Clock::time_point now = Clock::now();
        // Everything that arrived before `now` has just been read.
        window.Expire(now);
        if (state.socketFull && now - state.lastProgress > kSendStallLimit) {
            window.AbandonUnsent();
        }
    }
    return window.Results();
}

std::uint16_t RandomIdentifier() {
    std::random_device device;
    return static_cast<std::uint16_t>(device() & 0xffff);
}

}  // namespace

bool IcmpSocketAvailable() {
    return OpenIcmpSocket(0).has_value();
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
        if (count == 0) return results;
        // An address of the link that did not answer ARP is no host: as
        // address 0, it is settled false without a request.
        std::vector<std::uint32_t> destinations = addressesNetworkOrder;
        const std::vector<bool> worth = WorthAnEcho(destinations);
        for (std::size_t i = 0; i < count; ++i) {
            if (!worth[i]) destinations[i] = 0;
        }
        // Only a raw socket uses it: a datagram socket gets one from the kernel.
        std::uint16_t identifier = RandomIdentifier();
        for (std::size_t start = 0; start < count; start += EchoWindow::kMaxBatch) {
            const auto first = destinations.begin() + static_cast<std::ptrdiff_t>(start);
            const auto last =
                first + static_cast<std::ptrdiff_t>(std::min(EchoWindow::kMaxBatch, count - start));
            const std::vector<bool> part = ProbeBatch({first, last}, plan, identifier++);
            results.insert(results.end(), part.begin(), part.end());
        }
        return results;
    } catch (...) {
        return std::vector<bool>(count, false);
    }
}

}  // namespace toolkit::platform
