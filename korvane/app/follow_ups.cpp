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

// What a member that took its command is now.
std::string TookEffect(FollowKind kind, const std::string& host) {
    return "« " + host + " » " + (kind == FollowKind::Shutdown ? "ne répond plus" : "répond");
}

std::string Joined(const TextList& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
    return text;
}

}  // namespace

// The members' verdicts gathered, told once the last one is in: the
// incidents first, then the members without verdict, else that all went well.
struct FollowUps::Tally {
    FollowUpDone done;
    std::size_t waiting = 0;
    TextList incidents, unknown, fine;
    void Count() {
        if (--waiting > 0 || !done) return;
        if (!incidents.empty()) {
            done("Incident : " + Joined(incidents, " ; ") +
                 (unknown.empty() ? "." : ". Sans verdict : " + Joined(unknown, " ; ") + "."));
        } else if (!unknown.empty()) {
            done("Sans verdict : " + Joined(unknown, " ; ") + ".");
        } else {
            done("Aucun incident : " + Joined(fine, ", ") + ".");
        }
    }
};

void FollowUps::Arm(FollowKind kind, const std::string& name, FollowUpDone done) {
    const auto position = toolkit::IndexOfLine(ctx_.krv.ManagedList, name);
    if (!position) {
        if (done) done("Sans verdict : « " + name + " » n'est plus sur la carte.");
        return;
    }
    ctx_.timers.After(kFollowUpDelay,
                      [this, kind, entry = static_cast<int>(*position), done = std::move(done)] {
                          LaunchChecks(kind, entry, done);
                      });
}

const toolkit::TextList& FollowUps::Incidents(FollowKind kind) const {
    return IncidentsOf(ctx_.krv, kind);
}

void FollowUps::LaunchChecks(FollowKind kind, int position, const FollowUpDone& done) {
    if (position < 0 || position >= static_cast<int>(ctx_.krv.ManagedList.size())) {
        const std::string message = AfterWhat(kind, "") + " abandonnée : l'entrée n° " +
                                    std::to_string(position) + " n'existe plus.";
        ctx_.console.Log(message);
        if (done) done("Sans verdict : " + message);
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
        if (done) done("Sans verdict : " + message);
        return;
    }
    if (members.empty()) {
        if (done) done("Sans verdict : le groupe « " + name + " » ne nomme aucun ordinateur.");
        return;
    }
    auto tally = std::make_shared<Tally>();
    tally->done = done;
    tally->waiting = members.size();
    for (const auto& member : members) {
        requests_.ExecPING_host(member, [this, kind, member, tally](int slot) {
            ReportCheck(kind, member, slot, tally);
        });
    }
}

// The check script makes its marker writable as its last step; until then
// the check waits for the next tick.
void FollowUps::ReportCheck(FollowKind kind, const std::string& host, int slot,
                            const std::shared_ptr<Tally>& tally) {
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
        tally->unknown.push_back("« " + host + " »" + (reason.empty() ? "" : " (" + reason + ")"));
        tally->Count();
        return;
    }
    const auto incident = CheckIncident(kind, output);
    if (!incident) {
        tally->fine.push_back(TookEffect(kind, host));
        tally->Count();
        return;
    }
    const std::string line = IncidentLine(ShortDate(), LongTime(), *incident);
    IncidentsOf(ctx_.krv, kind).push_back(line);
    recent_.push_back({ctx_.NowSeconds(), kind, *incident});
    if (recent_.size() > kRecentIncidents) recent_.pop_front();
    ++incidentCount_;
    ctx_.console.Log(line);
    notifications_.TellIncident(kind, *incident, line);
    tally->incidents.push_back("« " + incident->host + " » " + incident->verdict + " (" +
                               incident->reason + ")");
    tally->Count();
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
