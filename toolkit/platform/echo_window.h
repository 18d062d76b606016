// The book-keeping of one batch of echo requests: which request goes out
// next, which are in flight and until when, what a destination still silent
// is owed before its deadline (a second request, a try by other means), and
// the verdict of each. It holds no socket and reads no clock, so the rules
// are tested without a network.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/platform.h"

namespace toolkit::platform {

class EchoWindow {
  public:
    using Clock = std::chrono::steady_clock;

    // Sequence numbers are indexes into the batch, so it holds at most this many.
    static constexpr std::size_t kMaxBatch = 65535;

    struct Request {
        std::uint16_t sequence = 0;
        std::uint32_t destination = 0;  // network order
    };

    // What a destination that has not answered gets inside its own window,
    // counted from its first request; none when not before the deadline.
    struct FollowUps {
        // A second echo request, with the first one's sequence number: one
        // lost datagram must not make a running host look off.
        std::optional<Clock::duration> secondRequest;
        // A try by other means (TCP), whose proof is an Answer like the echo's.
        std::optional<Clock::duration> otherProof;
    };

    // Address 0 is settled false at once and never offered for sending.
    EchoWindow(const std::vector<std::uint32_t>& destinations, Clock::duration timeout,
               std::size_t maxInFlight, const FollowUps& followUps = {});

    // The next request to send; none while `maxInFlight` are in flight or when
    // every request has gone out.
    std::optional<Request> NextToSend() const;
    // The request offered by NextToSend left at `when`: it waits until when + timeout.
    void Sent(Clock::time_point when);
    // The request offered by NextToSend could not be sent: false.
    void Refused();
    // Every request not yet sent is given up: false.
    void AbandonUnsent();

    // An answer (reply or error report) about `sequence` from its destination.
    // True when it settled a request in flight; late, repeated or foreign
    // answers change nothing.
    bool Answer(std::uint16_t sequence, std::uint32_t destination);
    // Requests whose deadline is not after `now` are settled false.
    void Expire(Clock::time_point now);

    // The next destination, still unanswered, whose second request is due
    // at `now` (each is given once), else nullopt.
    std::optional<Request> DueSecondRequest(Clock::time_point now);
    // The same for the try by other means.
    std::optional<Request> DueOtherProof(Clock::time_point now);
    // True while the request of `sequence` is in flight, unanswered.
    bool Waiting(std::uint16_t sequence) const;

    std::size_t InFlight() const { return inFlight_; }
    std::optional<Clock::time_point> EarliestDeadline() const;
    // The earliest deadline or follow-up still to come: when to look again.
    std::optional<Clock::time_point> NextEvent() const;
    bool Finished() const { return next_ == destinations_.size() && inFlight_ == 0; }
    // One verdict per destination, in the order given.
    const std::vector<bool>& Results() const { return answered_; }

  private:
    enum class State : std::uint8_t { Unsent, InFlight, Settled };
    // Requests in send order, each due `after` its sending: the order of
    // their due times too.
    struct DueQueue {
        std::optional<Clock::duration> after;
        std::deque<std::uint16_t> order;
    };

    void SkipSettled();
    void DropSettledFront();
    void DropSettled(std::deque<std::uint16_t>& order);
    std::optional<Request> TakeDue(DueQueue& queue, Clock::time_point now);
    std::optional<Clock::time_point> DueTime(const DueQueue& queue) const;

    std::vector<std::uint32_t> destinations_;
    std::vector<State> states_;
    std::vector<Clock::time_point> sentAt_;
    std::vector<bool> answered_;
    std::deque<std::uint16_t> inFlightOrder_;  // send order, hence deadline order
    DueQueue secondRequests_;
    DueQueue otherProofs_;
    Clock::duration timeout_;
    std::size_t maxInFlight_;
    std::size_t next_ = 0;
    std::size_t inFlight_ = 0;
};

// How many requests may leave now without the kernel's neighbour table
// refusing new entries. Every request to a host of the local link takes an
// entry, which stays until the kernel gives up resolving it (3 s) whether the
// host answers or not, and the table drops requests without a word once it
// holds its limit. The room is what the table can still take, less a quarter
// of its limit kept for other programs; it is read again from the kernel when
// used up (requests to hosts already resolved, or not on the link, take no
// entry), and while the table is full once per `recheck`, so a sweep goes as
// fast as ARP resolution frees the table. Where the table cannot be read, a
// fixed budget per hold period stands in.
// The requests the table can take now: its limit less a quarter kept for
// other programs, less what it holds.
std::size_t RoomOf(const NeighbourLoad& load);

class NeighbourRoom {
  public:
    using Clock = std::chrono::steady_clock;
    using Reader = std::function<std::optional<NeighbourLoad>()>;

    NeighbourRoom(Reader reader, Clock::duration recheck, std::size_t fallbackBudget,
                  Clock::duration fallbackHold);

    // Takes room for one request; false when there is none before NextLook().
    bool TryTake(Clock::time_point now);
    Clock::time_point NextLook() const { return nextLook_; }

  private:
    Reader reader_;
    Clock::duration recheck_;
    std::size_t fallbackBudget_;
    Clock::duration fallbackHold_;
    std::size_t room_ = 0;
    Clock::time_point nextLook_ = Clock::time_point::min();
};

}  // namespace toolkit::platform
