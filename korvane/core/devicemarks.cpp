#include "korvane/core/devicemarks.h"

#include <algorithm>

namespace korvane {

std::string SeenAgoText(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    if (seconds < 60) return "vu il y a moins d'une minute";
    if (seconds < 3600) return "vu il y a " + std::to_string(seconds / 60) + " min";
    if (seconds < 24 * 3600) return "vu il y a " + std::to_string(seconds / 3600) + " h";
    return "vu il y a " + std::to_string(seconds / (24 * 3600)) + " j";
}

std::string DeviceMark(const toolkit::DeviceRecord& record, const toolkit::Device& device,
                       std::int64_t now) {
    if (!record.lastSweep) return {};
    if (device.lastSeen < *record.lastSweep) return SeenAgoText(now - device.lastSeen);
    const auto& previous = record.previousSweep;
    if (previous && device.firstSeen > *previous) return kNewDeviceMark;
    if (device.movedAt && !device.previousAddress.empty() &&
        (!previous || *device.movedAt > *previous)) {
        return "déplacé (ancienne adresse " + device.previousAddress + ")";
    }
    return {};
}

std::int64_t LatestChange(const toolkit::Device& device) {
    return std::max(device.firstSeen, device.movedAt.value_or(device.firstSeen));
}

DeviceFinder::DeviceFinder(const toolkit::DeviceRecord& record) : record_(record) {
    const auto& devices = record.devices;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (!devices[i].mac.empty()) byMac_.emplace(devices[i].mac, i);
        const auto [at, added] = byAddress_.try_emplace(devices[i].address, i);
        if (!added && devices[at->second].lastSeen < devices[i].lastSeen) at->second = i;
    }
}

const toolkit::Device* DeviceFinder::ByMac(std::string_view mac) const {
    const auto found = byMac_.find(toolkit::DeviceMac(mac));
    return found == byMac_.end() ? nullptr : &record_.devices[found->second];
}

const toolkit::Device* DeviceFinder::ByAddress(std::string_view address) const {
    const auto found = byAddress_.find(toolkit::Trim(address));
    return found == byAddress_.end() ? nullptr : &record_.devices[found->second];
}

}  // namespace korvane
