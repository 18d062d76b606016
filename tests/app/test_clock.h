// The clock Korvane's plan, journal and energy report read in the tests: the
// system's until a test sets it.
#pragma once

#include <chrono>
#include <ctime>
#include <optional>

#include "korvane/app/clock.h"

namespace app_testing {

class TestClock : public korvane::Clock {
  public:
    std::chrono::system_clock::time_point Now() const override {
        return now_.value_or(std::chrono::system_clock::now());
    }
    void Set(std::chrono::system_clock::time_point now) { now_ = now; }

  private:
    std::optional<std::chrono::system_clock::time_point> now_;
};

// A local date and time.
inline std::chrono::system_clock::time_point LocalTime(int year, int month, int day, int hour,
                                                       int minute, int second = 0) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

}  // namespace app_testing
