// Moments written in files as UTC text, "2026-12-08T07:30:12Z": the same in
// every time zone, sorted as text in time order, and read by a person.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace toolkit {

// Seconds since 1970-01-01 UTC, as "YYYY-MM-DDTHH:MM:SSZ".
std::string UtcText(std::int64_t time);
// The seconds of such a text; nothing for any other text (a date that does
// not exist, or a second 60, included): what it reads, UtcText writes back
// the same.
std::optional<std::int64_t> ParseUtcText(std::string_view text);

// The system clock now, in seconds since 1970-01-01 UTC.
std::int64_t UtcNow();

}  // namespace toolkit
