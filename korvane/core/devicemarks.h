// What changed on the network, as the intake dialog tells it beside each
// discovered machine, from netsweep's record of the devices it has seen
// (toolkit/devices.h): a device first seen since the previous sweep is new,
// one the latest sweep did not see was last seen some time ago, one whose
// address changed since the previous sweep has moved.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "devices.h"

namespace korvane {

inline constexpr const char* kNewDeviceMark = "nouveau";

// "vu il y a moins d'une minute", "vu il y a 5 min", "vu il y a 3 h",
// "vu il y a 2 j" (whole units, rounded down; a negative span counts as 0).
std::string SeenAgoText(std::int64_t seconds);

// The mark of a device of `record` at `now`: "vu il y a ..." when the latest
// sweep did not see it, else "nouveau" when it was first seen since the
// previous sweep, else "déplacé (ancienne adresse A)" when it moved since
// then, else nothing. Without any sweep there is nothing to compare with:
// no mark.
std::string DeviceMark(const toolkit::DeviceRecord& record, const toolkit::Device& device,
                       std::int64_t now);

// When the device last changed: its arrival, or its latest move.
std::int64_t LatestChange(const toolkit::Device& device);

// The devices of a record found by MAC (in any of its written forms) or by
// address (the device seen there last), in constant time.
class DeviceFinder {
  public:
    explicit DeviceFinder(const toolkit::DeviceRecord& record);
    const toolkit::Device* ByMac(std::string_view mac) const;
    const toolkit::Device* ByAddress(std::string_view address) const;

  private:
    const toolkit::DeviceRecord& record_;
    std::unordered_map<std::string, std::size_t> byMac_, byAddress_;
};

}  // namespace korvane
