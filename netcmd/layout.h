// Small text helpers shared by the listings netcmd prints.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace netcmd {

// `text` followed by spaces up to `width` bytes (never cut).
std::string PadRight(std::string_view text, std::size_t width);

// Hardware address as hex byte pairs joined by `separator`, e.g. 02-4B-52-00-00-02.
std::string FormatHardwareAddress(std::span<const std::uint8_t> bytes, bool upperCase,
                                  char separator = '-');

// Two upper-case hex digits.
std::string HexByte(std::uint8_t value);

// Replaces control characters, which would break a listing's lines, by '_'.
std::string PrintableField(std::string_view text);

}  // namespace netcmd
