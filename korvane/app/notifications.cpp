#include "korvane/app/notifications.h"

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
void Notifications::Tell(const Notice& notice) {
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
void Notifications::TellIncident(FollowKind kind, const Incident& incident,
                                 const std::string& line) {
    if (windowless_) {
        try {
            KeepUnseenIncident(toolkit::ProgramDir(), line);
        } catch (const toolkit::FileError& error) {
            ctx_.console.Log(error.what());
        }
    }
    Tell(IncidentNotice(kind, incident));
}

void Notifications::TellUnseenIncidents() {
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
        IncidentsOf(ctx_.krv, KindOfIncidentLine(line)).push_back(line);
        ctx_.console.Log(line);
    }
    ctx_.console.Status(IncidentsSinceStartText(lines.size()));
}

}  // namespace korvane
