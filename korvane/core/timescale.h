// One setting shortens every Korvane timer, so that a soak run lives an hour
// of polls, scans and follow-ups in a few minutes: the environment variable
// KORVANE_TIME_SCALE, a whole number from 1 to 3600 that divides every timer
// interval. Missing or anything else, it counts as 1: a user's desktop never
// sets it.
#pragma once

namespace korvane {

inline constexpr const char* kTimeScaleVariable = "KORVANE_TIME_SCALE";
inline constexpr int kMaxTimeScale = 3600;

// The divisor KORVANE_TIME_SCALE gives now (1 when unset or invalid).
int TimeScale();
// `ms` divided by the time scale, never below 1 ms.
int ScaledInterval(int ms);

}  // namespace korvane
