// TForm1, the daily plan and what the map shows of it: each tick of TimerPlan
// runs the wake-ups and shutdowns due by the plan through the buttons' own
// paths (same scripts, follow-ups, incidents, refusals); the protected
// computers are never shut down; each poll's states go to the history.
#include <QLabel>
#include <QPlainTextEdit>

#include "KrvVar.h"
#include "folderlead.h"
#include "followup.h"
#include "forms.h"
#include "main.h"
#include "mapgrid.h"
#include "messages.h"
#include "names.h"
#include "platform/platform.h"
#include "protection.h"
#include "schedule.h"
#include "timescale.h"
#include "tools.h"
#include "uenergy.h"

namespace korvane {

namespace {

// Four looks a minute: no minute of the plan goes by unseen.
constexpr int kPlanInterval = 15000;
const QString kPlanHintStart = QStringLiteral("Prochaine action : ");
const QString kProtectedHint = QStringLiteral("Ne jamais éteindre : protégé");

PlanClock& Clock() {
    static PlanClock clock;
    return clock;
}

std::int64_t UnixSeconds(std::chrono::system_clock::time_point when) {
    return std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
}

// The hint without the lines the plan and the protection add to it: what
// remains is the user's comment.
QStringList CommentLines(const QString& hint) {
    QStringList kept;
    for (const QString& line : hint.split(QLatin1Char('\n'))) {
        if (line.startsWith(kPlanHintStart) || line == kProtectedHint) continue;
        kept << line;
    }
    while (!kept.isEmpty() && kept.last().isEmpty()) kept.removeLast();
    return kept;
}

}  // namespace

QString HintComment(const QWidget* button) {
    return CommentLines(button->toolTip()).join(QLatin1Char('\n'));
}

void SetPlanClock(PlanClock clock) {
    Clock() = std::move(clock);
}

std::chrono::system_clock::time_point PlanNow() {
    return Clock() ? Clock()() : std::chrono::system_clock::now();
}

// The first look only marks the start: what was planned earlier is not
// caught up.
void TForm1::StartPlanning() {
    const std::string dir = toolkit::ProgramDir();
    history_ = std::make_unique<HistoryKeeper>(dir, [dir] { return TakeFolderLead(dir); });
    try {
        history_->Start(UnixSeconds(std::chrono::system_clock::now()));
    } catch (const toolkit::FileError& error) {
        ReportProblem("historique", std::string("Historique des états : ") + error.what());
    }
    trigger_.Tick(LocalMinuteOf(PlanNow()), {});
    TimerPlan = new TTimer(this);
    TimerPlan->setInterval(ScaledInterval(kPlanInterval));
    connect(TimerPlan, &QTimer::timeout, this, &TForm1::TimerPlanTimer);
    TimerPlan->start();
}

void TForm1::StopPlanning() {
    if (TimerPlan != nullptr) TimerPlan->stop();
    if (!history_) return;
    try {
        history_->Stop(UnixSeconds(std::chrono::system_clock::now()));
    } catch (const toolkit::FileError&) {
        // The next start marks the gap all the same.
    }
}

// A plan that cannot be read runs nothing, and says so once per tick in the
// console log only: nobody may be there to close a box.
void TForm1::TimerPlanTimer() {
    const std::string dir = toolkit::ProgramDir();
    Schedules plan;
    try {
        plan = planFile_.Get(dir + kScheduleFile, [&dir] { return LoadSchedules(dir); });
    } catch (const toolkit::FileError& error) {
        Log(std::string("Planification illisible : ") + error.what());
    }
    // Only the folder's lead runs the plan (folderlead.h).
    if (!TakeFolderLead(dir)) {
        if (!plan.empty() && !planElsewhereTold_) {
            Log("planification : assurée par un autre Korvane de ce dossier");
            planElsewhereTold_ = true;
        }
        return;
    }
    const PlanLook look = LookAtPlan(trigger_, dir, LocalMinuteOf(PlanNow()), plan);
    if (look.problem.empty()) {
        ProblemSolved(kPlanRunsFile);
    } else {
        ReportProblem(kPlanRunsFile, look.problem);
    }
    const std::vector<DueAction>& due = look.due;
    for (const DueAction& action : due) {
        // Only entries still on the map: a plan line outlives a removed entry.
        if (!toolkit::IndexOfLine(Krv().ManagedList, action.name)) continue;
        const bool wake = action.action == PlannedAction::WakeUp;
        Log("planification : " + std::string(wake ? "allumage de " : "arrêt de ") + action.name);
        if (wake) {
            PowerUp(action.name);
        } else {
            Shutdown(action.name);
        }
    }
    if (!due.empty()) Redraw_network();
}

bool TForm1::RefuseProtectedShutdown(const std::string& name) {
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
        const std::string refusal = "Arrêt de « " + name + " » refusé : " + error.what();
        Log(refusal);
        ShowWarning(this, Q(refusal));
        return true;
    }
    if (!protectedName) return false;
    const std::string refusal = ProtectedRefusal(name, *protectedName);
    Log(refusal);
    ShowWarning(this, Q(refusal));
    return true;
}

void TForm1::RecordStates(const toolkit::TextList& etats) {
    if (!history_) return;
    const KrvVar& krv = Krv();
    std::vector<std::pair<std::string, bool>> states;
    for (std::size_t entry = 0; entry < krv.ManagedList.size(); ++entry) {
        const std::string address = entry < krv.EntryIPs.size() ? krv.EntryIPs[entry] : "";
        states.emplace_back(krv.ManagedList[entry], IsUp(etats, krv.ManagedList[entry], address));
    }
    try {
        history_->Observe(UnixSeconds(std::chrono::system_clock::now()), states);
    } catch (const toolkit::FileError& error) {
        ReportProblem("historique", std::string("Historique des états : ") + error.what());
        return;
    }
    ProblemSolved("historique");
}

// The hint keeps the user's comment and adds the next planned action; a
// protected entry wears a small mark.
void TForm1::DecorateEntry(int entry, const std::string& name) {
    const auto index = static_cast<std::size_t>(entry);
    if (index >= EntryButtons.size() || EntryButtons[index] == nullptr) return;
    GlyphButton* button = EntryButtons[index];
    const std::string dir = toolkit::ProgramDir();
    static const Schedules kNoPlan;
    static const TextList kNoneProtected;
    const Schedules* plan = &kNoPlan;
    const TextList* protectedList = &kNoneProtected;
    try {
        plan = &planFile_.Get(dir + kScheduleFile, [&dir] { return LoadSchedules(dir); });
        protectedList =
            &protectedFile_.Get(dir + kProtectedFile, [&dir] { return LoadProtected(dir); });
    } catch (const toolkit::FileError&) {
        // Shown as unplanned; the plan's own tick tells what is wrong.
    }
    const bool isProtected = toolkit::IndexOfLine(*protectedList, name).has_value();
    QStringList hint = CommentLines(button->toolTip());
    if (isProtected) hint << kProtectedHint;
    const std::string next =
        NextActionHint(ScheduleOf(*plan, name), LocalMinuteOf(PlanNow()).minute);
    if (!next.empty()) hint << Q(next);
    button->setToolTip(hint.join(QLatin1Char('\n')));

    const QString markName = QStringLiteral("protege%1").arg(entry);
    auto* mark = button->findChild<QLabel*>(markName);
    if (isProtected && mark == nullptr) {
        mark = new QLabel(QStringLiteral("protégé"), button);
        mark->setObjectName(markName);
        mark->setStyleSheet(QStringLiteral(
            "QLabel { background: #c00000; color: white; font-size: 7pt; padding: 0px 2px; }"));
        mark->move(2, 2);
        mark->adjustSize();
        mark->show();
    }
    if (!isProtected && mark != nullptr) delete mark;
}

// The report of every entry, from the "Rapports" menu.
void TForm1::Consommation1Click() {
    OpenEnergyReport(Krv().ManagedList);
}

// The report of the entry the pop-up menu was opened on.
void TForm1::ConsommationEntry1Click() {
    const KrvVar& krv = Krv();
    const auto entry = static_cast<std::size_t>(krv.SelectedEntry);
    if (entry >= krv.ManagedList.size()) return;
    OpenEnergyReport({krv.ManagedList[entry]});
}

void TForm1::OpenEnergyReport(const toolkit::TextList& names) {
    if (Application() == nullptr || Application()->EnergyReport() == nullptr) return;
    TEnergyReport* report = Application()->EnergyReport();
    report->OpenFile = [this](const std::string& path) { OpenSavedReport(path); };
    report->ShowFor(names);
}

}  // namespace korvane
