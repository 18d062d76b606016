// KorvaneApp, the daily plan and the journal: each tick of TimerPlan runs the
// wake-ups and shutdowns due by the plan through the buttons' own paths (same
// scripts, follow-ups, incidents, refusals); the protected computers are
// never shut down; each poll's states go to the journal.
#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/mapgrid.h"
#include "korvane/core/names.h"
#include "korvane/core/protection.h"
#include "platform/append.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

// Four looks a minute: no minute of the plan goes by unseen.
constexpr int kPlanInterval = 15000;
constexpr const char* kPlanLockFile = "planning.lck";

}  // namespace

std::int64_t KorvaneApp::NowSeconds() const {
    return std::chrono::duration_cast<std::chrono::seconds>(clock_.Now().time_since_epoch())
        .count();
}

// The first look only marks the start: what was planned earlier is not
// caught up.
void KorvaneApp::StartPlanning() {
    history_ = std::make_unique<HistoryWriter>(toolkit::ProgramDir());
    try {
        history_->MarkUnknown(NowSeconds());
    } catch (const toolkit::FileError& error) {
        Log(text::kHistory + std::string(error.what()));
    }
    trigger_.Tick(LocalMinuteOf(clock_.Now()), {});
    timerPlan_ = Every(kPlanInterval, [this] { TimerPlanTimer(); });
}

void KorvaneApp::StopPlanning() {
    Cancel(timerPlan_);
    if (!history_) return;
    try {
        history_->MarkUnknown(NowSeconds());
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
        protected_ = LoadProtected(dir);
    } catch (const toolkit::FileError&) {
        // Shown as unprotected; a shutdown reads the list again and refuses.
    }
    try {
        plan_ = LoadSchedules(dir);
    } catch (const toolkit::FileError& error) {
        plan_.clear();
        return error.what();
    }
    return std::nullopt;
}

// A plan that cannot be read says so in the console log only: nobody may be
// there to close a box.
void KorvaneApp::TimerPlanTimer() {
    if (const auto problem = ReloadPlan()) Log(text::kPlanUnreadable + *problem);
    // One Korvane per folder runs the plan: the other (a window opened while
    // "--planificateur" runs) would run each action a second time. Without a
    // plan there is nothing to share, and no lock file is made.
    if (!plan_.empty() && !toolkit::platform::HoldLock(toolkit::ProgramDir() + kPlanLockFile)) {
        if (!planElsewhereTold_) Log(text::kPlanElsewhere);
        planElsewhereTold_ = true;
        return;
    }
    const std::vector<DueAction> due = trigger_.Tick(LocalMinuteOf(clock_.Now()), plan_);
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
bool KorvaneApp::RefuseProtectedShutdown(const std::string& name, bool planned) {
    // A name the command refuses anyway gets that refusal, said once.
    if (!IsValidEntryName(name)) return false;
    std::optional<std::string> protectedName;
    try {
        // A single computer may have no group file: its own name is all.
        const TextList members =
            toolkit::platform::FileExists(name) ? GroupMembers(LoadGroupFile(name)) : TextList{};
        protected_ = LoadProtected(toolkit::ProgramDir());
        protectedName = ProtectedName(protected_, name, members);
    } catch (const toolkit::FileError& error) {
        // Unsure whether it is protected: it is not shut down.
        Refuse("Arrêt de « " + name + " » refusé : " + error.what(), planned);
        return true;
    }
    if (!protectedName) return false;
    Refuse(ProtectedRefusal(name, *protectedName), planned);
    return true;
}

void KorvaneApp::RecordStates() {
    if (!history_) return;
    std::vector<std::pair<std::string, bool>> states;
    for (std::size_t entry = 0; entry < krv_.ManagedList.size(); ++entry) {
        const std::string address = entry < krv_.EntryIPs.size() ? krv_.EntryIPs[entry] : "";
        states.emplace_back(krv_.ManagedList[entry],
                            IsUp(states_, krv_.ManagedList[entry], address));
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
