#include "korvane/app/planner.h"

#include "korvane/app/texts.h"
#include "korvane/core/protection.h"
#include "tools.h"

namespace korvane {

namespace {

// Four looks a minute: no minute of the plan goes by unseen.
constexpr int kPlanInterval = 15000;

}  // namespace

void Planner::Start() {
    trigger_.Tick(LocalMinuteOf(ctx_.clock.Now()), {});
    timer_ = ctx_.timers.Every(kPlanInterval, [this] { Tick(); });
}

void Planner::Stop() {
    ctx_.timers.Cancel(timer_);
}

std::optional<std::string> Planner::Reload() {
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
void Planner::Tick() {
    if (const auto problem = Reload()) {
        ctx_.console.ReportProblem(kScheduleFile, text::kPlanUnreadable + *problem);
    } else {
        ctx_.console.ProblemSolved(kScheduleFile);
    }
    if (!Leads()) return;
    // The day's runs are kept in the folder, so that a Korvane taking the
    // lead over never runs an action again that day.
    const PlanLook look =
        LookAtPlan(trigger_, toolkit::ProgramDir(), LocalMinuteOf(ctx_.clock.Now()), plan_);
    if (look.problem.empty()) {
        ctx_.console.ProblemSolved(kPlanRunsFile);
    } else {
        ctx_.console.ReportProblem(kPlanRunsFile, look.problem);
    }
    RunDue(look.due);
}

// One Korvane per folder runs the plan: the other (a window opened while
// "--planificateur" runs) would run each action a second time.
bool Planner::Leads() {
    const Lead lead = LookAtLead(ctx_.console);
    if (lead == Lead::Ours) return true;
    if (lead == Lead::Elsewhere && !plan_.empty() && !elsewhereTold_) {
        ctx_.console.Log(text::kPlanElsewhere);
        elsewhereTold_ = true;
    }
    return false;
}

void Planner::RunDue(const std::vector<DueAction>& due) {
    for (const DueAction& action : due) {
        // Only entries still on the map: a plan line outlives a removed entry.
        if (!toolkit::IndexOfLine(ctx_.krv.ManagedList, action.name)) continue;
        const bool wake = action.action == PlannedAction::WakeUp;
        ctx_.console.Log("planification : " + std::string(wake ? "allumage de " : "arrêt de ") +
                         action.name);
        power_.Run(wake ? PowerAction::WakeUp : PowerAction::Shutdown, action.name,
                   CommandOrigin::Plan);
    }
    if (!due.empty()) acted_();
}

void Planner::SaveTimes(const std::string& name, const std::string& wakeUp,
                        const std::string& shutdown) {
    const auto timeOrSaved = [this](const std::string& typed, const char* title, int saved) {
        if (const auto minutes = ParseDailyTime(typed)) return *minutes;
        ctx_.view.Warn(DailyTimeRefusal(title, typed));
        return saved;
    };
    try {
        const std::string dir = toolkit::ProgramDir();
        Schedules plan = LoadSchedules(dir);
        const EntrySchedule saved = ScheduleOf(plan, name);
        const EntrySchedule typed{name, timeOrSaved(wakeUp, "Allumage à", saved.wakeUp),
                                  timeOrSaved(shutdown, "Arret à", saved.shutdown)};
        if (typed.wakeUp == saved.wakeUp && typed.shutdown == saved.shutdown) return;
        SetSchedule(plan, typed);
        SaveSchedules(dir, plan);
        plan_ = std::move(plan);
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(text::kPlanNotSaved + std::string(error.what()));
    }
}

}  // namespace korvane
