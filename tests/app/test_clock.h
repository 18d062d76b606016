// The clock Korvane's plan, journal and energy report read in the tests: the
// system's until a test sets it.
#pragma once

#include <chrono>
#include <optional>

#include "korvane/app/clock.h"

namespace app_testing {

class TestClock : public korvane::Clock {
  public:
    std::chrono::system_clock::time_point Now() const override {
        return now_ ? *now_ : std::chrono::system_clock::now();
    }
    void Set(std::chrono::system_clock::time_point now) { now_ = now; }
    void Forward(std::chrono::system_clock::duration by) { now_ = Now() + by; }

  private:
    std::optional<std::chrono::system_clock::time_point> now_;
};

// Today (of the system's clock) at this local time.
std::chrono::system_clock::time_point Today(int hour, int minute, int second = 0);

}  // namespace app_testing
