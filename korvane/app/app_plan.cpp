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

// The first look only marks the start: what was planned earlier is not
// caught up.
// Only the folder's lead (folderlead.h) writes the history and runs the plan.
void KorvaneApp::StartPlanning() {
    const std::string dir = toolkit::ProgramDir();
    history_ = std::make_unique<HistoryKeeper>(
        dir, [this] { return LookAtLead(ctx_.console) == Lead::Ours; });
    try {
        history_->Start(ctx_.NowSeconds());
    } catch (const toolkit::FileError& error) {
        ctx_.console.ReportProblem("historique", text::kHistory + std::string(error.what()));
    }
    trigger_.Tick(LocalMinuteOf(ctx_.clock.Now()), {});
    timerPlan_ = ctx_.timers.Every(kPlanInterval, [this] { TimerPlanTimer(); });
}

void KorvaneApp::StopPlanning() {
    ctx_.timers.Cancel(timerPlan_);
    if (!history_) return;
    try {
        history_->Stop(ctx_.NowSeconds());
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

// A plan that cannot be read is told in the status bar and the console log,
// once until it can be read again: nobody may be there to close a box.
void KorvaneApp::TimerPlanTimer() {
    if (const auto problem = ReloadPlan()) {
        ctx_.console.ReportProblem(kScheduleFile, text::kPlanUnreadable + *problem);
    } else {
        ctx_.console.ProblemSolved(kScheduleFile);
    }
    // One Korvane per folder runs the plan: the other (a window opened while
    // "--planificateur" runs) would run each action a second time.
    const std::string dir = toolkit::ProgramDir();
    const Lead lead = LookAtLead(ctx_.console);
    if (lead != Lead::Ours) {
        if (lead == Lead::Elsewhere && !plan_.empty() && !planElsewhereTold_) {
            ctx_.console.Log(text::kPlanElsewhere);
            planElsewhereTold_ = true;
        }
        return;
    }
    // The day's runs are kept in the folder, so that a Korvane taking the
    // lead over never runs an action again that day.
    const PlanLook look = LookAtPlan(trigger_, dir, LocalMinuteOf(ctx_.clock.Now()), plan_);
    if (look.problem.empty()) {
        ctx_.console.ProblemSolved(kPlanRunsFile);
    } else {
        ctx_.console.ReportProblem(kPlanRunsFile, look.problem);
    }
    const std::vector<DueAction>& due = look.due;
    for (const DueAction& action : due) {
        // Only entries still on the map: a plan line outlives a removed entry.
        if (!toolkit::IndexOfLine(ctx_.krv.ManagedList, action.name)) continue;
        const bool wake = action.action == PlannedAction::WakeUp;
        ctx_.console.Log("planification : " + std::string(wake ? "allumage de " : "arrêt de ") +
                         action.name);
        if (wake) {
            PowerUp(action.name, true);
        } else {
            Shutdown(action.name, true);
        }
    }
    if (!due.empty()) Redraw_network();
}

void KorvaneApp::RecordStates() {
    if (!history_) return;
    std::vector<std::pair<std::string, bool>> states;
    for (std::size_t entry = 0; entry < ctx_.krv.ManagedList.size(); ++entry) {
        const std::string address =
            entry < ctx_.krv.EntryIPs.size() ? ctx_.krv.EntryIPs[entry] : "";
        states.emplace_back(ctx_.krv.ManagedList[entry],
                            IsUp(poller_.States(), ctx_.krv.ManagedList[entry], address) &&
                                !holders_.Displaced(ctx_.krv.ManagedList[entry]));
    }
    try {
        history_->Observe(ctx_.NowSeconds(), states);
    } catch (const toolkit::FileError& error) {
        ctx_.console.ReportProblem("historique", text::kHistory + std::string(error.what()));
        return;
    }
    ctx_.console.ProblemSolved("historique");
}

}  // namespace korvane
