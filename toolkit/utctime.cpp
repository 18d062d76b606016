#include "utctime.h"

#include <chrono>
#include <cstdio>

namespace toolkit {

std::string UtcText(std::int64_t time) {
    using namespace std::chrono;
    const sys_seconds when{seconds(time)};
    const sys_days day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss clock{when - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::optional<std::int64_t> ParseUtcText(std::string_view text) {
    if (text.size() != 20) return std::nullopt;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &year, &month, &day, &hour, &minute,
                    &second, &consumed) != 6 ||
        consumed != 20) {
        return std::nullopt;
    }
    using namespace std::chrono;
    const year_month_day date{std::chrono::year{year},
                              std::chrono::month{static_cast<unsigned>(month)},
                              std::chrono::day{static_cast<unsigned>(day)}};
    // No second 60: the system clock counts none, UtcText never writes one,
    // and 9999-12-31T23:59:60Z would be a moment of the year 10000, which no
    // text of this form can hold.
    if (!date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
        second > 59) {
        return std::nullopt;
    }
    const auto when = sys_days(date) + hours(hour) + minutes(minute) + seconds(second);
    return static_cast<std::int64_t>(when.time_since_epoch().count());
}

std::int64_t UtcNow() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace toolkit
