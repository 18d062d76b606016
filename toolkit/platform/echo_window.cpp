#include "platform/echo_window.h"

#include <algorithm>
#include <stdexcept>

namespace toolkit::platform {

EchoWindow::EchoWindow(const std::vector<std::uint32_t>& destinations, Clock::duration timeout,
                       std::size_t maxInFlight)
    : destinations_(destinations),
      states_(destinations.size(), State::Unsent),
      deadlines_(destinations.size()),
      answered_(destinations.size(), false),
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
    deadlines_[next_] = when + timeout_;
    inFlightOrder_.push_back(static_cast<std::uint16_t>(next_));
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
    while (!inFlightOrder_.empty() && deadlines_[inFlightOrder_.front()] <= now) {
        states_[inFlightOrder_.front()] = State::Settled;
        inFlightOrder_.pop_front();
        --inFlight_;
        DropSettledFront();
    }
}

std::optional<EchoWindow::Clock::time_point> EchoWindow::EarliestDeadline() const {
    if (inFlightOrder_.empty()) return std::nullopt;
    return deadlines_[inFlightOrder_.front()];
}

void EchoWindow::SkipSettled() {
    while (next_ < destinations_.size() && states_[next_] == State::Settled) ++next_;
}

// Keeps the front of the send order an unanswered request, so that it holds
// the earliest deadline still to watch.
void EchoWindow::DropSettledFront() {
    while (!inFlightOrder_.empty() && states_[inFlightOrder_.front()] == State::Settled) {
        inFlightOrder_.pop_front();
    }
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
