// TForm1, the follow-ups: five minutes after a command every member of the
// entry's group file is pinged once through a check slot; a member whose
// state contradicts the command becomes an incident line, kept for the run,
// written to the console log, and shown by the "Rapports" menu.
#include <QPlainTextEdit>
#include <QStatusBar>

#include "KrvVar.h"
#include "export.h"
#include "followup.h"
#include "main.h"
#include "messages.h"
#include "polling.h"
#include "tools.h"

namespace korvane {

namespace {

TextList& IncidentsOf(FollowKind kind) {
    return kind == FollowKind::Shutdown ? Krv().ShutdownIncidents : Krv().WolIncidents;
}

std::string AfterWhat(FollowKind kind) {
    return kind == FollowKind::Shutdown ? "l'arrêt" : "le réveil";
}

}  // namespace

void TForm1::FollowDownLaunch(TTimer* timer) {
    LaunchChecks(FollowKind::Shutdown, timer);
}

void TForm1::FollowUpLaunch(TTimer* timer) {
    LaunchChecks(FollowKind::WakeUp, timer);
}

void TForm1::FollowDownReport(TTimer* timer) {
    ReportCheck(FollowKind::Shutdown, timer);
}

void TForm1::FollowUpReport(TTimer* timer) {
    ReportCheck(FollowKind::WakeUp, timer);
}

void TForm1::LaunchChecks(FollowKind kind, TTimer* timer) {
    const int position = timer->Tag;
    timer->stop();
    timer->deleteLater();  // its tick is running now
    const KrvVar& krv = Krv();
    if (position < 0 || position >= static_cast<int>(krv.ManagedList.size())) {
        Log("Vérification après " + AfterWhat(kind) + " abandonnée : l'entrée n° " +
            std::to_string(position) + " n'existe plus.");
        return;
    }
    const std::string name = krv.ManagedList[static_cast<std::size_t>(position)];
    TextList members;
    try {
        members = GroupMembers(LoadGroupFile(name));
    } catch (const toolkit::FileError& error) {
        const std::string message = "Vérification après " + AfterWhat(kind) + " de « " + name +
                                    " » impossible : " + error.what();
        Log(message);
        ReportError(message);
        return;
    }
    for (const auto& member : members) {
        const RequestHandler report = [this, kind, member](TTimer* check) {
            checkedHosts_[static_cast<std::size_t>(check->Tag)] = member;
            if (kind == FollowKind::Shutdown) {
                FollowDownReport(check);
            } else {
                FollowUpReport(check);
            }
        };
        ExecPING_host(member, report);
    }
}

// The check script makes its marker writable as its last step; until then
// the check waits for the next tick.
void TForm1::ReportCheck(FollowKind kind, TTimer* timer) {
    const int slot = timer->Tag;
    const std::optional<SlotFiles> finished = FinishedSlot(static_cast<std::uint8_t>(slot));
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
    ReleasePingTimer(slot);
    if (!read || !HasVerdict(output)) {
        // The probe could not run: neither a success nor an incident can be told.
        const std::string reason = ProbeFailureReasonIn(files.errors);
        const std::string& host = checkedHosts_[static_cast<std::size_t>(slot)];
        const std::string message = "Vérification après " + AfterWhat(kind) +
                                    (host.empty() ? "" : " de « " + host + " »") +
                                    " sans verdict" + (reason.empty() ? "." : " : " + reason);
        Log(message);
        StatusMain->showMessage(Q(message));
        return;
    }
    const auto incident = CheckIncident(kind, output);
    if (!incident) return;
    const std::string date = ShortDate();
    const std::string time = LongTime();
    const std::string line = IncidentLine(date, time, *incident);
    IncidentsOf(kind).push_back(line);
    Log(line);
}

void TForm1::IncidentsWOL1Click() {
    SaveAndOpenReport(FollowKind::WakeUp);
}

void TForm1::Incidentsshutdown1Click() {
    SaveAndOpenReport(FollowKind::Shutdown);
}

// The run's incidents, one line each, replace the report file, which then
// opens as the machine list does.
void TForm1::SaveAndOpenReport(FollowKind kind) {
    const std::string path = toolkit::ProgramDir() + IncidentFileName(kind);
    try {
        toolkit::SaveLines(path, IncidentsOf(kind));
    } catch (const toolkit::FileError& error) {
        ReportError(error.what());
        return;
    }
    OpenSavedReport(path);
}

void TForm1::OpenSavedReport(const std::string& path) {
    if (OpenReport(toolkit::kHostOs, path) != Opener::None) return;
    StatusMain->showMessage(
        Q("« " + path + " » est enregistré, mais aucun programme n'a pu l'ouvrir."));
}

}  // namespace korvane
