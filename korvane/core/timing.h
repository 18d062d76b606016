// Korvane's timers in one place, and the one setting that shortens them for
// tests and soak runs: KORVANE_TIME_SCALE, a positive whole divisor (default
// 1). The user's program never sets it, so its delays stay as they are.
#pragma once

namespace korvane {

inline constexpr const char* kTimeScaleVariable = "KORVANE_TIME_SCALE";

// `ms` divided by KORVANE_TIME_SCALE, never below 1 ms. A missing, zero,
// negative or non-numeric setting leaves `ms` unchanged.
int ScaledInterval(int ms);

}  // namespace korvane
