// KorvaneApp, telling the user: a desktop notification for a device the
// network never showed before, an incident, a planned action that failed;
// and at a window's start, the incidents recorded while no window ran.
#include "korvane/app/app.h"
#include "korvane/core/headless_incidents.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

// The incidents of a run without window come back to the report of their
// kind, by their verdict.
FollowKind KindOfIncidentLine(const std::string& line) {
    return line.find(kNotStarted) != std::string::npos ? FollowKind::WakeUp : FollowKind::Shutdown;
}

}  // namespace

// Each kind may be turned off in the preferences; when nothing can show a
// notification, the console says so once and Korvane goes on.
void KorvaneApp::Tell(const Notice& notice) {
    NoticeSettings settings;
    try {
        settings = LoadNoticeSettings(toolkit::ProgramDir());
    } catch (const toolkit::FileError&) {
        // The defaults.
    }
    const bool wanted = notice.kind == NoticeKind::NewDevices ? settings.newDevices
                        : notice.kind == NoticeKind::Incident ? settings.incidents
                                                              : settings.planFailures;
    if (!wanted || ctx_.view.Notify(notice) || noNotifierTold_) return;
    noNotifierTold_ = true;
    ctx_.console.Log(
        "Notifications indisponibles : aucun service de notification du bureau ne répond.");
}

// An incident of a run without window is kept until a window starts.
void KorvaneApp::TellIncident(FollowKind kind, const Incident& incident, const std::string& line) {
    if (windowless_) {
        try {
            KeepUnseenIncident(toolkit::ProgramDir(), line);
        } catch (const toolkit::FileError& error) {
            ctx_.console.Log(error.what());
        }
    }
    Tell(IncidentNotice(kind, incident));
}

void KorvaneApp::TellUnseenIncidents() {
    if (windowless_) return;
    TextList lines;
    try {
        lines = TakeUnseenIncidents(toolkit::ProgramDir());
    } catch (const toolkit::FileError& error) {
        ctx_.console.Log(error.what());
        return;
    }
    if (lines.empty()) return;
    for (const auto& line : lines) {
        IncidentsOf(KindOfIncidentLine(line)).push_back(line);
        ctx_.console.Log(line);
    }
    ctx_.console.Status(IncidentsSinceStartText(lines.size()));
}

const toolkit::DeviceRecord* KorvaneApp::DeviceRecordNow() {
    const std::string path = toolkit::ProgramDir() + toolkit::kDeviceRecordFile;
    if (!toolkit::platform::FileExists(path)) return nullptr;
    try {
        return &recordFile_.Get(path, [&path] { return toolkit::LoadDeviceRecord(path); });
    } catch (const toolkit::FileError&) {
        return nullptr;  // netsweep replacing it: the next look reads it
    }
}

// Each sweep that netsweep recorded since the last look: the devices it saw
// for the first time. The first look only notes where the record stands:
// what was found before this start is no news.
void KorvaneApp::LookForNewDevices() {
    const toolkit::DeviceRecord* record = DeviceRecordNow();
    if (record == nullptr || !record->lastSweep || record->lastSweep == sweepLookedAt_) return;
    const bool firstLook = !sweepLookedAt_;
    sweepLookedAt_ = record->lastSweep;
    if (firstLook) return;
    const std::vector<toolkit::Device> found = NewDevices(*record);
    if (!found.empty()) Tell(NewDevicesNotice(found));
}

}  // namespace korvane
