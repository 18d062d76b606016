#include "korvane/app/app_commands.h"

#include <algorithm>
#include <cmath>

#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/timescale.h"

namespace korvane {

namespace {

// The intake dialog's rows follow the discovery list netsweep rewrites.
constexpr int kIntakeRefresh = 1000;

// Sets the flag for the time of a modal window or question.
class ModalScope {
  public:
    explicit ModalScope(bool& open) : open_(open) { open_ = true; }
    ~ModalScope() { open_ = false; }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

  private:
    bool& open_;
};

}  // namespace

// --- KorvaneApp's entry points -------------------------------------------

void KorvaneApp::Run(Command command, int entry) {
    commands_.Run(command, entry);
}

void KorvaneApp::EntryClicked(int entry) {
    commands_.EntryClicked(entry);
}

void KorvaneApp::NoticeClicked(const Notice& notice) {
    commands_.NoticeClicked(notice);
}

// --- the energy report's figures, computed once for every window -----------

std::string EnergyReport::TotalText() const {
    double total = 0;
    for (const EnergyRow& row : rows) total += row.Kwh();
    return text::kEnergyTotal + FrenchNumber(total, 2) + " kWh";
}

int EnergyReport::HoursCeiling() const {
    constexpr int kHoursPerDay = 24;
    double highest = 1.0;
    for (const EnergyRow& row : rows) {
        for (const double hours : row.hours) highest = std::max(highest, hours);
    }
    return std::min(kHoursPerDay, static_cast<int>(std::ceil(highest)));
}

// --- the commands ----------------------------------------------------------

CommandRunner::~CommandRunner() {
    StopIntakeTimers();
}

void CommandRunner::Run(Command command, int entry) {
    switch (command) {
        case Command::Quit:
            view_.Quit();
            return;
        case Command::Preferences:
            // A refused field keeps the dialog open; whatever closed it, the
            // map is drawn again.
            if (OpenModal(Window::Preferences)) app_.Redraw_network();
            return;
        case Command::AddComputers:
            OpenIntake();
            return;
        case Command::NeverOff: {
            if (modalOpen_) return;
            const ModalScope scope(modalOpen_);
            // "Annuler" changes nothing.
            if (const auto typed = view_.AskLine(text::kAskNeverOff, "")) app_.Protect(*typed);
            return;
        }
        case Command::SshKey:
            app_.CreateSshKey();
            return;
        case Command::WolIncidents:
            app_.OpenIncidents(FollowKind::WakeUp);
            return;
        case Command::ShutdownIncidents:
            app_.OpenIncidents(FollowKind::Shutdown);
            return;
        case Command::MachineList:
            app_.ExportMachineList();
            return;
        case Command::Console:
            view_.Open(Window::Console, {});
            return;
        case Command::Energy:
            view_.Open(Window::Energy, app_.Vars().ManagedList);
            return;
        case Command::About:
            OpenModal(Window::About);
            return;
        case Command::Comment:
            AskComment(entry);
            return;
        case Command::Rename:
            AskRename(entry);
            return;
        case Command::EntryEnergy: {
            const std::string name = app_.NameOf(entry);
            if (!name.empty()) view_.Open(Window::Energy, {name});
            return;
        }
    }
}

// The times and the SSH setting are saved before "ON" or "OFF" acts, so the
// map's hint already shows them; a dialog that could not open leaves them
// as they were, and nothing is sent.
void CommandRunner::EntryClicked(int entry) {
    if (modalOpen_) return;
    const std::optional<EntryCard> card = app_.Card(entry);
    if (!card) return;
    CardAnswer answer;
    {
        const ModalScope scope(modalOpen_);
        answer = view_.AskCard(*card);
    }
    app_.SavePlanTimes(entry, answer.card.wakeUp, answer.card.shutdown);
    app_.SaveSshSetting(entry, answer.card.overSsh, answer.card.sshUser);
    switch (answer.choice) {
        case CardChoice::On:
            app_.Wake(entry);
            break;
        case CardChoice::Off:
            app_.ShutDown(entry);
            break;
        case CardChoice::Restart:
            app_.Reboot(entry);
            break;
        case CardChoice::TestAccess:
            app_.TestAccess(entry);
            break;
        case CardChoice::Cancel:
            break;
    }
}

void CommandRunner::NoticeClicked(const Notice& notice) {
    switch (notice.kind) {
        case NoticeKind::NewDevices:
            Run(Command::AddComputers, -1);
            break;
        case NoticeKind::Incident:
            app_.OpenIncidents(notice.report);
            break;
        case NoticeKind::PlanFailure:
            Run(Command::Console, -1);
            break;
    }
}

bool CommandRunner::OpenModal(Window window) {
    if (modalOpen_) return false;
    const ModalScope scope(modalOpen_);
    view_.Open(window, {});
    return true;
}

// The rows follow the discovery list only while the dialog is shown: at
// once, then every second, until it closes. Entries may have come or gone:
// the map is drawn again however it closed.
void CommandRunner::OpenIntake() {
    if (modalOpen_) return;
    intakeTimers_.push_back(scheduler_.After(0, [this] { RefreshIntake(); }));
    intakeTimers_.push_back(
        scheduler_.Every(ScaledInterval(kIntakeRefresh), [this] { RefreshIntake(); }));
    OpenModal(Window::Intake);
    StopIntakeTimers();
    app_.Redraw_network();
}

// A discovery list that cannot be read now leaves the rows as they are.
void CommandRunner::RefreshIntake() {
    if (const auto rows = app_.IntakeRefresh(view_.IntakeMemo())) view_.ShowIntakeRows(*rows);
}

void CommandRunner::StopIntakeTimers() {
    for (const TimerId id : intakeTimers_) scheduler_.Cancel(id);
    intakeTimers_.clear();
}

// "Annuler" leaves the comment as it was.
void CommandRunner::AskComment(int entry) {
    if (modalOpen_ || app_.NameOf(entry).empty()) return;
    const ModalScope scope(modalOpen_);
    if (const auto typed = view_.AskLine(text::kAskComment, app_.CommentOf(entry))) {
        app_.SetComment(entry, *typed);
    }
}

// "Annuler" renames nothing.
void CommandRunner::AskRename(int entry) {
    const std::string name = app_.NameOf(entry);
    if (modalOpen_ || name.empty()) return;
    const ModalScope scope(modalOpen_);
    if (const auto typed = view_.AskLine(text::kAskRename, name)) app_.Rename(entry, *typed);
}

}  // namespace korvane
