#include "platform/echo_window.h"

#include <algorithm>
#include <stdexcept>

namespace toolkit::platform {

namespace {

// A follow-up that would come at or after the deadline is none.
std::optional<EchoWindow::Clock::duration> Before(std::optional<EchoWindow::Clock::duration> after,
                                                  EchoWindow::Clock::duration timeout) {
    if (after && *after >= timeout) return std::nullopt;
    if (after && *after < EchoWindow::Clock::duration::zero())
        return EchoWindow::Clock::duration::zero();
    return after;
}

}  // namespace

EchoWindow::EchoWindow(const std::vector<std::uint32_t>& destinations, Clock::duration timeout,
                       std::size_t maxInFlight, const FollowUps& followUps)
    : destinations_(destinations),
      states_(destinations.size(), State::Unsent),
      sentAt_(destinations.size()),
      answered_(destinations.size(), false),
      secondRequests_{Before(followUps.secondRequest, timeout), {}},
      otherProofs_{Before(followUps.otherProof, timeout), {}},
      timeout_(timeout),
      maxInFlight_(std::max<std::size_t>(maxInFlight, 1)) {
    if (destinations.size() > kMaxBatch) throw std::length_error("EchoWindow: batch too large");
    for (std::size_t i = 0; i < destinations_.size(); ++i) {
        if (destinations_[i] == 0) states_[i] = State::Settled;
    }
    SkipSettled();
}

std::optional<EchoWindow::Request> EchoWindow::NextToSend() const {
    if (next_ == destinations_.size() || inFlight_ >= maxInFlight_) return std::nullopt;
    return Request{static_cast<std::uint16_t>(next_), destinations_[next_]};
}

void EchoWindow::Sent(Clock::time_point when) {
    if (!NextToSend()) return;
    states_[next_] = State::InFlight;
    sentAt_[next_] = when;
    const auto sequence = static_cast<std::uint16_t>(next_);
    inFlightOrder_.push_back(sequence);
    for (DueQueue* queue : {&secondRequests_, &otherProofs_}) {
        if (queue->after) queue->order.push_back(sequence);
    }
    ++inFlight_;
    ++next_;
    SkipSettled();
}

void EchoWindow::Refused() {
    if (!NextToSend()) return;
    states_[next_] = State::Settled;
    ++next_;
    SkipSettled();
}

void EchoWindow::AbandonUnsent() {
    for (; next_ < destinations_.size(); ++next_) states_[next_] = State::Settled;
}

bool EchoWindow::Answer(std::uint16_t sequence, std::uint32_t destination) {
    if (sequence >= destinations_.size() || states_[sequence] != State::InFlight ||
        destinations_[sequence] != destination) {
        return false;
    }
    states_[sequence] = State::Settled;
    answered_[sequence] = true;
    --inFlight_;
    DropSettledFront();
    return true;
}

void EchoWindow::Expire(Clock::time_point now) {
    while (!inFlightOrder_.empty() && sentAt_[inFlightOrder_.front()] + timeout_ <= now) {
        states_[inFlightOrder_.front()] = State::Settled;
        inFlightOrder_.pop_front();
        --inFlight_;
        DropSettledFront();
    }
}

std::optional<EchoWindow::Clock::time_point> EchoWindow::EarliestDeadline() const {
    if (inFlightOrder_.empty()) return std::nullopt;
    return sentAt_[inFlightOrder_.front()] + timeout_;
}

std::optional<EchoWindow::Request> EchoWindow::DueSecondRequest(Clock::time_point now) {
    return TakeDue(secondRequests_, now);
}

std::optional<EchoWindow::Request> EchoWindow::DueOtherProof(Clock::time_point now) {
    return TakeDue(otherProofs_, now);
}

bool EchoWindow::Waiting(std::uint16_t sequence) const {
    return sequence < states_.size() && states_[sequence] == State::InFlight;
}

std::optional<EchoWindow::Clock::time_point> EchoWindow::NextEvent() const {
    std::optional<Clock::time_point> next = EarliestDeadline();
    for (const DueQueue* queue : {&secondRequests_, &otherProofs_}) {
        const auto due = DueTime(*queue);
        if (due && (!next || *due < *next)) next = due;
    }
    return next;
}

std::optional<EchoWindow::Request> EchoWindow::TakeDue(DueQueue& queue, Clock::time_point now) {
    DropSettled(queue.order);
    const auto due = DueTime(queue);
    if (!due || *due > now) return std::nullopt;
    const std::uint16_t sequence = queue.order.front();
    queue.order.pop_front();
    return Request{sequence, destinations_[sequence]};
}

// Settled requests leave the queues lazily, so its front may be one.
std::optional<EchoWindow::Clock::time_point> EchoWindow::DueTime(const DueQueue& queue) const {
    for (const std::uint16_t sequence : queue.order) {
        if (states_[sequence] == State::InFlight) return sentAt_[sequence] + *queue.after;
    }
    return std::nullopt;
}

void EchoWindow::SkipSettled() {
    while (next_ < destinations_.size() && states_[next_] == State::Settled) ++next_;
}

// Keeps the front of the send order an unanswered request, so that it holds
// the earliest deadline still to watch.
void EchoWindow::DropSettledFront() {
    DropSettled(inFlightOrder_);
}

void EchoWindow::DropSettled(std::deque<std::uint16_t>& order) {
    while (!order.empty() && states_[order.front()] == State::Settled) order.pop_front();
}

std::size_t RoomOf(const NeighbourLoad& load) {
    const std::size_t usable = load.limit - load.limit / 4;
    return usable > load.held ? usable - load.held : 0;
}

NeighbourRoom::NeighbourRoom(Reader reader, Clock::duration recheck, std::size_t fallbackBudget,
                             Clock::duration fallbackHold)
    : reader_(std::move(reader)),
      recheck_(recheck),
      fallbackBudget_(std::max<std::size_t>(fallbackBudget, 1)),
      fallbackHold_(fallbackHold) {}

bool NeighbourRoom::TryTake(Clock::time_point now) {
    if (room_ == 0 && now >= nextLook_) {
        if (const auto load = reader_()) {
            room_ = RoomOf(*load);
            nextLook_ = room_ > 0 ? now : now + recheck_;
        } else {
            room_ = fallbackBudget_;
            nextLook_ = now + fallbackHold_;
        }
    }
    if (room_ == 0) return false;
    --room_;
    return true;
}

}  // namespace toolkit::platform
