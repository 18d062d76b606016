#include "korvane/app/follow_ups.h"

#include "korvane/core/export.h"
#include "korvane/core/power.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

// "Vérification après l'arrêt de « pc1 »" and the like.
std::string AfterWhat(FollowKind kind, const std::string& host) {
    return std::string("Vérification après ") +
           (kind == FollowKind::Shutdown ? "l'arrêt"
            : kind == FollowKind::WakeUp ? "le réveil"
                                         : "le redémarrage") +
           (host.empty() ? "" : " de « " + host + " »");
}

}  // namespace

void FollowUps::Arm(FollowKind kind, const std::string& name) {
    const auto position = toolkit::IndexOfLine(ctx_.krv.ManagedList, name);
    if (!position) return;
    ctx_.timers.After(kFollowUpDelay, [this, kind, entry = static_cast<int>(*position)] {
        LaunchChecks(kind, entry);
    });
}

const toolkit::TextList& FollowUps::Incidents(FollowKind kind) const {
    return IncidentsOf(ctx_.krv, kind);
}

void FollowUps::LaunchChecks(FollowKind kind, int position) {
    if (position < 0 || position >= static_cast<int>(ctx_.krv.ManagedList.size())) {
        ctx_.console.Log(AfterWhat(kind, "") + " abandonnée : l'entrée n° " +
                         std::to_string(position) + " n'existe plus.");
        return;
    }
    const std::string name = ctx_.krv.ManagedList[static_cast<std::size_t>(position)];
    TextList members;
    try {
        members = GroupMembers(LoadGroupFile(name));
    } catch (const toolkit::FileError& error) {
        const std::string message = AfterWhat(kind, name) + " impossible : " + error.what();
        ctx_.console.Log(message);
        ctx_.view.Warn(message);
        return;
    }
    for (const auto& member : members) {
        requests_.ExecPING_host(
            member, [this, kind, member](int slot) { ReportCheck(kind, member, slot); });
    }
}

// The check script makes its marker writable as its last step; until then
// the check waits for the next tick.
void FollowUps::ReportCheck(FollowKind kind, const std::string& host, int slot) {
    const std::optional<SlotFiles> finished = requests_.Finish(slot);
    if (!finished) return;
    const SlotFiles& files = *finished;
    ctx_.console.Log(ProgressLine(kind, slot));
    TextList output;
    bool read = true;
    try {
        output = toolkit::LoadLines(files.result);
    } catch (const toolkit::FileError&) {
        read = false;  // a later request of the slot took it: no verdict
    }
    if (!read || !HasVerdict(output)) {
        // The probe could not run: neither a success nor an incident can be told.
        const std::string reason = ProbeFailureReasonIn(files.errors, files.script);
        const std::string message =
            AfterWhat(kind, host) + " sans verdict" + (reason.empty() ? "." : " : " + reason);
        ctx_.console.Log(message);
        ctx_.console.Status(message);
        return;
    }
    const auto incident = CheckIncident(kind, output);
    if (!incident) return;
    const std::string line = IncidentLine(ShortDate(), LongTime(), *incident);
    IncidentsOf(ctx_.krv, kind).push_back(line);
    ctx_.console.Log(line);
    notifications_.TellIncident(kind, *incident, line);
}

// The run's incidents, one line each, replace the report file, which then
// opens as the machine list does.
void FollowUps::OpenIncidents(FollowKind kind) {
    const std::string path = toolkit::ProgramDir() + IncidentFileName(kind);
    try {
        toolkit::SaveLines(path, IncidentsOf(ctx_.krv, kind));
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(error.what());
        return;
    }
    OpenSavedReport(ctx_.console, path);
}

}  // namespace korvane
