#include "devices.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "platform/platform.h"
#include "reseau.h"
#include "utctime.h"

namespace toolkit {
namespace {

constexpr std::string_view kSweepKey = "balayage=";
constexpr std::string_view kPreviousSweepKey = "balayage précédent=";
constexpr const char* kColumns =
    "# mac;adresse;nom;premier vu;dernier vu;ancienne adresse;déplacé le;ping";
constexpr std::size_t kFieldCount = 8;
// A clock found behind the latest sweep by more than this was set wrong
// before (or is now): the record's times are brought back to it.
constexpr std::int64_t kClockSlackSeconds = 24 * 3600;

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string Key(const Device& device) {
    return device.mac.empty() ? device.address : device.mac;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t end = line.find(';', start);
        fields.push_back(line.substr(start, end - start));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

std::optional<Device> ParseDevice(std::string_view line) {
    const std::vector<std::string_view> f = Fields(line);
    if (f.size() != kFieldCount) return std::nullopt;
    Device device;
    device.mac = DeviceMac(f[0]);
    device.address = std::string(f[1]);
    device.name = std::string(f[2]);
    device.previousAddress = std::string(f[5]);
    const auto first = ParseUtcText(f[3]);
    const auto last = ParseUtcText(f[4]);
    if ((device.mac.empty() && !f[0].empty()) || !IsDottedIPv4(device.address) ||
        (!device.name.empty() && !IsPlainHostName(device.name)) || !first || !last ||
        (!device.previousAddress.empty() && !IsDottedIPv4(device.previousAddress)) ||
        (f[7] != "oui" && f[7] != "non")) {
        return std::nullopt;
    }
    if (!f[6].empty()) {
        device.movedAt = ParseUtcText(f[6]);
        if (!device.movedAt) return std::nullopt;
    }
    device.firstSeen = std::min(*first, *last);
    device.lastSeen = *last;
    device.answersPing = f[7] == "oui";
    return device;
}

std::string TimeOrEmpty(const std::optional<std::int64_t>& time) {
    return time ? UtcText(*time) : std::string();
}

std::optional<std::int64_t> TimeAfter(std::string_view line, std::string_view key) {
    return ParseUtcText(line.substr(key.size()));
}

std::string DeviceLine(const Device& d) {
    return d.mac + ";" + d.address + ";" + d.name + ";" + UtcText(d.firstSeen) + ";" +
           UtcText(d.lastSeen) + ";" + d.previousAddress + ";" + TimeOrEmpty(d.movedAt) + ";" +
           (d.answersPing ? "oui" : "non");
}

// The run's time: after the latest sweep, so that "first seen in the latest
// sweep" and "not seen since" never depend on two runs' seconds differing.
std::int64_t RunTime(const DeviceRecord& record, std::int64_t now) {
    if (!record.lastSweep || *record.lastSweep < now) return now;
    if (*record.lastSweep - now > kClockSlackSeconds) return now;
    return *record.lastSweep + 1;
}

void BringBack(DeviceRecord& record, std::int64_t runTime) {
    const auto back = [runTime](std::int64_t& time) { time = std::min(time, runTime - 1); };
    if (record.lastSweep) back(*record.lastSweep);
    if (record.previousSweep) back(*record.previousSweep);
    for (Device& device : record.devices) {
        back(device.firstSeen);
        back(device.lastSeen);
        if (device.movedAt) back(*device.movedAt);
    }
}

// One sighting per MAC: its first, or the one at the address the device
// already has (a computer with two addresses does not move between them),
// answered when any of them was.
std::vector<Sighting> OnePerMac(const std::vector<Sighting>& sightings,
                                const std::unordered_map<std::string, std::size_t>& byKey,
                                const std::vector<Device>& devices) {
    std::vector<Sighting> chosen;
    std::unordered_map<std::string, std::size_t> position;
    for (const Sighting& s : sightings) {
        const std::string mac = DeviceMac(s.mac);
        if (mac.empty()) continue;
        const auto [at, added] = position.try_emplace(mac, chosen.size());
        if (added) {
            chosen.push_back(s);
            chosen.back().mac = mac;
            continue;
        }
        Sighting& kept = chosen[at->second];
        const auto known = byKey.find(mac);
        if (known != byKey.end() && devices[known->second].address == s.address) {
            kept.address = s.address;
            kept.name = s.name;
        }
        kept.answered = kept.answered || s.answered;
        kept.probed = kept.probed || s.probed;
    }
    return chosen;
}

class Merge {
  public:
    Merge(DeviceRecord& record, std::int64_t runTime) : devices_(record.devices), time_(runTime) {
        for (std::size_t i = 0; i < devices_.size(); ++i) {
            byKey_.emplace(Key(devices_[i]), i);
            const auto [at, added] = byAddress_.try_emplace(devices_[i].address, i);
            if (!added && devices_[at->second].lastSeen < devices_[i].lastSeen) at->second = i;
        }
    }

    void Apply(const std::vector<Sighting>& sightings) {
        for (const Sighting& s : OnePerMac(sightings, byKey_, devices_)) SeenWithMac(s);
        for (const Sighting& s : sightings) {
            if (DeviceMac(s.mac).empty() && IsDottedIPv4(s.address)) SeenWithoutMac(s);
        }
    }

  private:
    void SeenWithMac(const Sighting& s) {
        if (!IsDottedIPv4(s.address)) return;
        std::optional<std::size_t> index = Find(s.mac);
        if (!index) {
            // The device recorded under its address alone now shows its MAC.
            index = Find(s.address);
            if (index && devices_[*index].mac.empty()) {
                byKey_.erase(s.address);
                devices_[*index].mac = s.mac;
                byKey_.emplace(s.mac, *index);
            } else {
                index.reset();
            }
        }
        if (!index) return Add(s);
        Device& device = devices_[*index];
        if (device.answersPing && s.probed && !s.answered) {
            device.answersPing = false;
            return;
        }
        See(*index, s);
    }

    void SeenWithoutMac(const Sighting& s) {
        const auto holder = byAddress_.find(s.address);
        if (holder != byAddress_.end()) return See(holder->second, s);
        if (const auto index = Find(s.address)) return See(*index, s);
        Add(s);
    }

    std::optional<std::size_t> Find(const std::string& key) const {
        const auto found = byKey_.find(key);
        if (found == byKey_.end()) return std::nullopt;
        return found->second;
    }

    void Add(const Sighting& s) {
        Device device;
        device.mac = s.mac;
        device.address = s.address;
        device.name = s.name;
        device.firstSeen = device.lastSeen = time_;
        device.answersPing = s.answered;
        byKey_.emplace(Key(device), devices_.size());
        byAddress_[device.address] = devices_.size();
        devices_.push_back(std::move(device));
    }

    void See(std::size_t index, const Sighting& s) {
        Device& device = devices_[index];
        if (device.lastSeen == time_) return;  // already seen in this run
        device.lastSeen = time_;
        if (!s.name.empty()) device.name = s.name;
        if (s.probed) device.answersPing = s.answered;
        if (s.address == device.address) return;
        const auto old = byAddress_.find(device.address);
        if (old != byAddress_.end() && old->second == index) byAddress_.erase(old);
        device.previousAddress = device.address;
        device.address = s.address;
        device.movedAt = time_;
        byAddress_[device.address] = index;
    }

    std::vector<Device>& devices_;
    const std::int64_t time_;
    std::unordered_map<std::string, std::size_t> byKey_, byAddress_;
};

// Devices unseen for 90 days go, then the ones seen longest ago beyond
// kMaxDevices; the others keep their order.
void Forget(std::vector<Device>& devices, std::int64_t runTime) {
    std::erase_if(devices, [runTime](const Device& device) {
        return runTime - device.lastSeen > kForgetDeviceSeconds;
    });
    if (devices.size() <= kMaxDevices) return;
    std::vector<std::int64_t> times;
    times.reserve(devices.size());
    for (const Device& device : devices) times.push_back(device.lastSeen);
    const auto cut = times.end() - static_cast<std::ptrdiff_t>(kMaxDevices);
    std::nth_element(times.begin(), cut, times.end());
    const std::int64_t oldestKept = *cut;
    // Ties at the cut: the first ones in the file stay.
    std::size_t atCut = static_cast<std::size_t>(std::count(cut, times.end(), oldestKept));
    std::vector<Device> kept;
    kept.reserve(kMaxDevices);
    for (Device& device : devices) {
        if (device.lastSeen < oldestKept) continue;
        if (device.lastSeen == oldestKept) {
            if (atCut == 0) continue;
            --atCut;
        }
        kept.push_back(std::move(device));
    }
    devices = std::move(kept);
}

}  // namespace

std::string DeviceMac(std::string_view text) {
    const std::string mac = Trim(text);
    if (mac.size() != 17) return {};
    std::string normal;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const char c = mac[i];
        if (i % 3 == 2) {
            if (c != '-' && c != ':') return {};
            normal += '-';
        } else {
            if (!IsHexDigit(c)) return {};
            normal += (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    return normal;
}

TextList DeviceRecordLines(const DeviceRecord& record) {
    TextList lines;
    lines.reserve(record.devices.size() + 3);
    lines.push_back(std::string(kSweepKey) + TimeOrEmpty(record.lastSweep));
    lines.push_back(std::string(kPreviousSweepKey) + TimeOrEmpty(record.previousSweep));
    lines.push_back(kColumns);
    for (const Device& device : record.devices) lines.push_back(DeviceLine(device));
    return lines;
}

DeviceRecord ParseDeviceRecord(const TextList& lines) {
    DeviceRecord record;
    std::unordered_set<std::string> keys;
    for (const std::string& line : lines) {
        if (line.starts_with('#')) continue;
        if (line.starts_with(kSweepKey)) {
            record.lastSweep = TimeAfter(line, kSweepKey);
            continue;
        }
        if (line.starts_with(kPreviousSweepKey)) {
            record.previousSweep = TimeAfter(line, kPreviousSweepKey);
            continue;
        }
        auto device = ParseDevice(line);
        if (device && keys.insert(Key(*device)).second)
            record.devices.push_back(std::move(*device));
    }
    return record;
}

DeviceRecord LoadDeviceRecord(const std::string& path) {
    if (!platform::FileExists(path)) return {};
    return ParseDeviceRecord(LoadLines(path));
}

std::int64_t MergeSightings(DeviceRecord& record, const std::vector<Sighting>& sightings,
                            std::int64_t now, bool swept) {
    const std::int64_t runTime = RunTime(record, now);
    BringBack(record, runTime);
    Merge(record, runTime).Apply(sightings);
    Forget(record.devices, runTime);
    if (swept) {
        record.previousSweep = record.lastSweep;
        record.lastSweep = runTime;
    }
    return runTime;
}

}  // namespace toolkit
