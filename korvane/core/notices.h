// What Korvane tells the user with a desktop notification: a device the
// network never showed before, an incident a follow-up recorded, a planned
// action that failed. Each kind is turned on or off in the preferences, kept
// in "notifications.ini" ("nouveaux-appareils=0", "incidents=1",
// "planification=1"); new devices are off by default, for homes whose phones
// come and go all day.
#pragma once

#include <string>
#include <vector>

#include "devices.h"
#include "korvane/core/followup.h"
#include "utils.h"

namespace korvane {

inline constexpr const char* kNoticeSettingsFile = "notifications.ini";

struct NoticeSettings {
    bool newDevices = false;
    bool incidents = true;
    bool planFailures = true;
    bool operator==(const NoticeSettings&) const = default;
};

// A missing key or a value other than 0 or 1 keeps its default.
NoticeSettings ParseNoticeSettings(const toolkit::TextList& lines);
toolkit::TextList NoticeSettingsLines(const NoticeSettings& settings);
// The defaults when the file is missing. Throws FileError when it exists and
// cannot be read.
NoticeSettings LoadNoticeSettings(const std::string& programDir);
// Replaces the file atomically. Throws FileError.
void SaveNoticeSettings(const std::string& programDir, const NoticeSettings& settings);

enum class NoticeKind { NewDevices, Incident, PlanFailure };

struct Notice {
    NoticeKind kind = NoticeKind::Incident;
    std::string title;
    std::string body;
    FollowKind report = FollowKind::Shutdown;  // the report an incident's click opens
};

// The devices the latest sweep saw for the first time; none when the record
// has no sweep before it to compare with.
std::vector<toolkit::Device> NewDevices(const toolkit::DeviceRecord& record);
// "Nouvel appareil sur le réseau" and its name, address and MAC, or
// "N nouveaux appareils sur le réseau" and the first few of them.
Notice NewDevicesNotice(const std::vector<toolkit::Device>& devices);
// "Incident d'arrêt" / "Incident de réveil" and the computer and verdict.
Notice IncidentNotice(FollowKind kind, const Incident& incident);
// "Action planifiée en échec" and what was refused or failed.
Notice PlanFailureNotice(const std::string& what);

}  // namespace korvane
