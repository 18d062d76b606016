// KorvaneApp, the daily plan and the journal: each tick of TimerPlan runs the
// wake-ups and shutdowns due by the plan through the buttons' own paths (same
// scripts, follow-ups, incidents, refusals); the protected computers are
// never shut down; each poll's states go to the journal.
#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/mapgrid.h"
#include "korvane/core/names.h"
#include "korvane/core/protection.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

// Four looks a minute: no minute of the plan goes by unseen.
constexpr int kPlanInterval = 15000;

}  // namespace

std::int64_t KorvaneApp::NowSeconds() const {
    return std::chrono::duration_cast<std::chrono::seconds>(clock_.Now().time_since_epoch())
        .count();
}

// The first look only marks the start: what was planned earlier is not
// caught up.
// Only the folder's lead (folderlead.h) writes the history and runs the plan.
void KorvaneApp::StartPlanning() {
    const std::string dir = toolkit::ProgramDir();
    history_ = std::make_unique<HistoryKeeper>(dir, [this] { return LookAtLead() == Lead::Ours; });
    try {
        history_->Start(NowSeconds());
    } catch (const toolkit::FileError& error) {
        ReportProblem("historique", text::kHistory + std::string(error.what()));
    }
    trigger_.Tick(LocalMinuteOf(clock_.Now()), {});
    timerPlan_ = Every(kPlanInterval, [this] { TimerPlanTimer(); });
}

void KorvaneApp::StopPlanning() {
    Cancel(timerPlan_);
    if (!history_) return;
    try {
        history_->Stop(NowSeconds());
    } catch (const toolkit::FileError&) {
        // The next start marks the gap all the same.
    }
}

// The plan and the protected list, as the redraws and the commands use them
// until the next reload. A plan that cannot be read runs nothing (its error
// is given back).
std::optional<std::string> KorvaneApp::ReloadPlan() {
    const std::string dir = toolkit::ProgramDir();
    try {
        protected_ =
            protectedFile_.Get(dir + kProtectedFile, [&dir] { return LoadProtected(dir); });
    } catch (const toolkit::FileError&) {
        // Shown as unprotected; a shutdown reads the list again and refuses.
    }
    try {
        plan_ = planFile_.Get(dir + kScheduleFile, [&dir] { return LoadSchedules(dir); });
    } catch (const toolkit::FileError& error) {
        plan_.clear();
        return error.what();
    }
    return std::nullopt;
}

// Whether this Korvane leads the folder now. A lock that nobody can take is
// told, once, until it can be again: a Korvane that believed another one
// led would leave the plan and the journal to nobody, in silence.
Lead KorvaneApp::LookAtLead() {
    const FolderLead lead = TakeFolderLead(toolkit::ProgramDir());
    if (lead.lead == Lead::Unavailable) {
        ReportProblem(kLeadLockFile, lead.problem);
    } else {
        ProblemSolved(kLeadLockFile);
    }
    return lead.lead;
}

// A plan that cannot be read is told in the status bar and the console log,
// once until it can be read again: nobody may be there to close a box.
void KorvaneApp::TimerPlanTimer() {
    if (const auto problem = ReloadPlan()) {
        ReportProblem(kScheduleFile, text::kPlanUnreadable + *problem);
    } else {
        ProblemSolved(kScheduleFile);
    }
    // One Korvane per folder runs the plan: the other (a window opened while
    // "--planificateur" runs) would run each action a second time.
    const std::string dir = toolkit::ProgramDir();
    const Lead lead = LookAtLead();
    if (lead != Lead::Ours) {
        if (lead == Lead::Elsewhere && !plan_.empty() && !planElsewhereTold_) {
            Log(text::kPlanElsewhere);
            planElsewhereTold_ = true;
        }
        return;
    }
    // The day's runs are kept in the folder, so that a Korvane taking the
    // lead over never runs an action again that day.
    const PlanLook look = LookAtPlan(trigger_, dir, LocalMinuteOf(clock_.Now()), plan_);
    if (look.problem.empty()) {
        ProblemSolved(kPlanRunsFile);
    } else {
        ReportProblem(kPlanRunsFile, look.problem);
    }
    const std::vector<DueAction>& due = look.due;
    for (const DueAction& action : due) {
        // Only entries still on the map: a plan line outlives a removed entry.
        if (!toolkit::IndexOfLine(krv_.ManagedList, action.name)) continue;
        const bool wake = action.action == PlannedAction::WakeUp;
        Log("planification : " + std::string(wake ? "allumage de " : "arrêt de ") + action.name);
        if (wake) {
            PowerUp(action.name, true);
        } else {
            Shutdown(action.name, true);
        }
    }
    if (!due.empty()) Redraw_network();
}

// The list is read afresh: a shutdown never trusts an older copy.
bool KorvaneApp::RefuseProtectedShutdown(const std::string& name, bool planned,
                                         PowerAction action) {
    // A name the command refuses anyway gets that refusal, said once.
    if (!IsValidEntryName(name)) return false;
    std::optional<std::string> protectedName;
    try {
        // A single computer may have no group file: its own name is all.
        const TextList members =
            toolkit::platform::FileExists(name) ? GroupMembers(LoadGroupFile(name)) : TextList{};
        protectedName = ProtectedName(LoadProtected(toolkit::ProgramDir()), name, members);
    } catch (const toolkit::FileError& error) {
        // Unsure whether it is protected: it is not shut down.
        Refuse(ActionStart(action) + ("« " + name + " » refusé : ") + error.what(), planned);
        return true;
    }
    if (!protectedName) return false;
    Refuse(ProtectedRefusal(name, *protectedName, ActionStart(action)), planned);
    return true;
}

void KorvaneApp::RecordStates() {
    if (!history_) return;
    std::vector<std::pair<std::string, bool>> states;
    for (std::size_t entry = 0; entry < krv_.ManagedList.size(); ++entry) {
        const std::string address = entry < krv_.EntryIPs.size() ? krv_.EntryIPs[entry] : "";
        states.emplace_back(
            krv_.ManagedList[entry],
            IsUp(states_, krv_.ManagedList[entry], address) && !Displaced(krv_.ManagedList[entry]));
    }
    try {
        history_->Observe(NowSeconds(), states);
    } catch (const toolkit::FileError& error) {
        ReportProblem("historique", text::kHistory + std::string(error.what()));
        return;
    }
    ProblemSolved("historique");
}

}  // namespace korvane
