#include "korvane/core/notices.h"

#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

// A long list of new devices names a few and counts the rest.
constexpr std::size_t kDevicesNamed = 5;

struct Key {
    const char* name;
    bool NoticeSettings::*field;
};
constexpr Key kKeys[] = {
    {"nouveaux-appareils", &NoticeSettings::newDevices},
    {"incidents", &NoticeSettings::incidents},
    {"planification", &NoticeSettings::planFailures},
};

std::string DeviceLine(const toolkit::Device& device) {
    std::string line = device.name.empty() ? device.address : device.name + " (" + device.address;
    if (!device.mac.empty()) line += device.name.empty() ? " (" + device.mac : ", " + device.mac;
    if (!device.name.empty() || !device.mac.empty()) line += ")";
    return line;
}

}  // namespace

NoticeSettings ParseNoticeSettings(const toolkit::TextList& lines) {
    NoticeSettings settings;
    for (const Key& key : kKeys) {
        const std::string value = toolkit::Trim(toolkit::ValueOfKey(lines, key.name));
        if (value == "0" || value == "1") settings.*key.field = value == "1";
    }
    return settings;
}

toolkit::TextList NoticeSettingsLines(const NoticeSettings& settings) {
    toolkit::TextList lines;
    for (const Key& key : kKeys) {
        lines.push_back(std::string(key.name) + "=" + (settings.*key.field ? "1" : "0"));
    }
    return lines;
}

NoticeSettings LoadNoticeSettings(const std::string& programDir) {
    const std::string path = programDir + kNoticeSettingsFile;
    if (!toolkit::platform::FileExists(path)) return {};
    return ParseNoticeSettings(toolkit::LoadLines(path));
}

void SaveNoticeSettings(const std::string& programDir, const NoticeSettings& settings) {
    toolkit::SaveLines(programDir + kNoticeSettingsFile, NoticeSettingsLines(settings));
}

std::vector<toolkit::Device> NewDevices(const toolkit::DeviceRecord& record) {
    std::vector<toolkit::Device> found;
    if (!record.lastSweep || !record.previousSweep) return found;
    for (const toolkit::Device& device : record.devices) {
        if (device.firstSeen > *record.previousSweep && device.firstSeen <= *record.lastSweep) {
            found.push_back(device);
        }
    }
    return found;
}

Notice NewDevicesNotice(const std::vector<toolkit::Device>& devices) {
    Notice notice;
    notice.kind = NoticeKind::NewDevices;
    notice.title = devices.size() == 1
                       ? std::string("Nouvel appareil sur le réseau")
                       : std::to_string(devices.size()) + " nouveaux appareils sur le réseau";
    for (std::size_t i = 0; i < devices.size() && i < kDevicesNamed; ++i) {
        notice.body += (i == 0 ? "" : "\n") + DeviceLine(devices[i]);
    }
    if (devices.size() > kDevicesNamed) {
        notice.body += "\net " + std::to_string(devices.size() - kDevicesNamed) + " autres";
    }
    return notice;
}

Notice IncidentNotice(FollowKind kind, const Incident& incident) {
    Notice notice;
    notice.kind = NoticeKind::Incident;
    notice.report = kind == FollowKind::WakeUp ? kind : FollowKind::Shutdown;
    notice.title = kind == FollowKind::Shutdown ? "Incident d'arrêt"
                   : kind == FollowKind::WakeUp ? "Incident de réveil"
                                                : "Incident de redémarrage";
    notice.body = "« " + incident.host + " » " + incident.verdict;
    return notice;
}

Notice PlanFailureNotice(const std::string& what) {
    return {NoticeKind::PlanFailure, "Action planifiée en échec", what, FollowKind::Shutdown};
}

}  // namespace korvane
