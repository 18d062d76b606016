// KorvaneApp, the follow-ups: five minutes after a command every member of
// the entry's group file is probed through a check slot; a member whose
// state contradicts the command becomes an incident line, kept for the run,
// written to the console log, and shown by the "Rapports" menu.
#include "korvane/app/app.h"
#include "korvane/core/export.h"
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

TextList& KorvaneApp::IncidentsOf(FollowKind kind) {
    return kind == FollowKind::WakeUp ? krv_.WolIncidents : krv_.ShutdownIncidents;
}

void KorvaneApp::LaunchChecks(FollowKind kind, int position) {
    if (position < 0 || position >= static_cast<int>(krv_.ManagedList.size())) {
        Log(AfterWhat(kind, "") + " abandonnée : l'entrée n° " + std::to_string(position) +
            " n'existe plus.");
        return;
    }
    const std::string name = krv_.ManagedList[static_cast<std::size_t>(position)];
    TextList members;
    try {
        members = GroupMembers(LoadGroupFile(name));
    } catch (const toolkit::FileError& error) {
        const std::string message = AfterWhat(kind, name) + " impossible : " + error.what();
        Log(message);
        view_.Warn(message);
        return;
    }
    for (const auto& member : members) {
        ExecPING_host(member, [this, kind, member](int slot) { ReportCheck(kind, member, slot); });
    }
}

// The check script makes its marker writable as its last step; until then
// the check waits for the next tick.
void KorvaneApp::ReportCheck(FollowKind kind, const std::string& host, int slot) {
    const std::optional<SlotFiles> finished = FinishSlot(slot);
    if (!finished) return;
    const SlotFiles& files = *finished;
    Log(ProgressLine(kind, slot));
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
        Log(message);
        Status(message);
        return;
    }
    const auto incident = CheckIncident(kind, output);
    if (!incident) return;
    const std::string line = IncidentLine(ShortDate(), LongTime(), *incident);
    IncidentsOf(kind).push_back(line);
    Log(line);
    TellIncident(kind, *incident, line);
}

// The run's incidents, one line each, replace the report file, which then
// opens as the machine list does.
void KorvaneApp::OpenIncidents(FollowKind kind) {
    const std::string path = toolkit::ProgramDir() + IncidentFileName(kind);
    try {
        toolkit::SaveLines(path, IncidentsOf(kind));
    } catch (const toolkit::FileError& error) {
        view_.Warn(error.what());
        return;
    }
    OpenSavedReport(path);
}

void KorvaneApp::OpenSavedReport(const std::string& path) {
    if (OpenReport(toolkit::kHostOs, path) != Opener::None) return;
    Status("« " + path + " » est enregistré, mais aucun programme n'a pu l'ouvrir.");
}

}  // namespace korvane
