// The one clock of Korvane's behaviour: the plan, the journal of states and
// the energy report all read it, so that a test can steer them together.
#pragma once

#include <chrono>

namespace korvane {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::chrono::system_clock::time_point Now() const = 0;
};

class SystemClock : public Clock {
  public:
    std::chrono::system_clock::time_point Now() const override {
        return std::chrono::system_clock::now();
    }
};

}  // namespace korvane
