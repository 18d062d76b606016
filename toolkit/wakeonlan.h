// Wake-on-LAN: the hardware address as people write it, and the magic packet
// that wakes the adapter holding it. Shared by wolcmd, which sends the packet,
// and Korvane, which checks an address before it reaches a script.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace toolkit {

using MacAddress = std::array<std::uint8_t, 6>;

// Twelve hexadecimal digits of either case, with the same "-" or ":" between
// every two of them, or with nothing between them: "02-4B-52-00-00-11",
// "02:4b:52:00:00:11", "024B52000011". Nothing else.
std::optional<MacAddress> ParseMac(std::string_view text);
// The form netsweep writes: "02-4B-52-00-00-11".
std::string MacText(const MacAddress& mac);

// Six bytes 0xFF, then the address sixteen times: 102 bytes.
std::vector<std::uint8_t> MagicPacket(const MacAddress& mac);

}  // namespace toolkit
