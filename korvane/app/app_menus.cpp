// KorvaneApp, the commands of the menus and dialogs: the on/off dialog's
// times, "Ne jamais éteindre...", the machine list, the pop-up menu's
// comment and renaming, the preferences, the intake dialog's OK, the energy
// report and the console's saving.
#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/commands.h"
#include "korvane/core/export.h"
#include "korvane/core/names.h"
#include "korvane/core/protection.h"
#include "korvane/core/shutdownsettings.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

using toolkit::Quoted;

// --- the on/off dialog -----------------------------------------------------

std::optional<EntryCard> KorvaneApp::Card(int entry) {
    const std::string name = EntryName(entry);
    if (name.empty()) return std::nullopt;
    const auto index = static_cast<std::size_t>(entry);
    EntryCard card{toolkit::AsciiUpper(name),
                   index < krv_.EntryIPs.size() ? krv_.EntryIPs[index] : "",
                   krv_.FindMAC(name),
                   "0:00",
                   "0:00",
                   false,
                   ""};
    if (const auto problem = ReloadPlan()) view_.Warn(text::kPlanUnreadable + *problem);
    const EntrySchedule plan = ScheduleOf(plan_, name);
    card.wakeUp = FormatDailyTime(plan.wakeUp);
    card.shutdown = FormatDailyTime(plan.shutdown);
    FillSshCard(name, card);
    return card;
}

// Saved before "ON" or "OFF" acts, so the map's hint already shows it. A time
// that does not parse keeps the saved one, and the user is told; a plan that
// cannot be read is not overwritten.
void KorvaneApp::SavePlanTimes(int entry, const std::string& wakeUp, const std::string& shutdown) {
    const std::string name = EntryName(entry);
    if (name.empty()) return;
    const auto timeOrSaved = [this](const std::string& typed, const char* title, int saved) {
        if (const auto minutes = ParseDailyTime(typed)) return *minutes;
        view_.Warn(DailyTimeRefusal(title, typed));
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
        view_.Warn(text::kPlanNotSaved + std::string(error.what()));
    }
}

// --- "Ne jamais éteindre..." ---------------------------------------------

void KorvaneApp::Protect(const std::string& typed) {
    const std::string name = toolkit::Trim(typed);
    if (name.empty()) return;
    const std::string dir = toolkit::ProgramDir();
    try {
        const TextList list = LoadProtected(dir);
        switch (ClassifyProtect(list, name)) {
            case ProtectChange::Invalid:
                view_.Warn("Nom refusé : " + Quoted(name) + " ne peut désigner un ordinateur (" +
                           EntryNameRule(name) + ").");
                return;
            case ProtectChange::Add:
                SaveProtected(dir, WithProtected(list, name));
                view_.Inform(Quoted(name) + " ne sera jamais éteint par Korvane.");
                break;
            case ProtectChange::OfferRemoval:
                if (!view_.AskYesNo(Quoted(name) +
                                    " est déjà dans la liste des machines à ne jamais "
                                    "éteindre. L'en retirer ?")) {
                    return;
                }
                SaveProtected(dir, WithoutProtected(list, name));
                view_.Inform(Quoted(name) + " peut de nouveau être éteint.");
                break;
        }
    } catch (const toolkit::FileError& error) {
        view_.Warn(text::kProtectNotChanged + std::string(error.what()));
        return;
    }
    ReloadPlan();
    Redraw_network();
}

// --- "Liste machines" --------------------------------------------------

void KorvaneApp::ExportMachineList() {
    const std::string path = toolkit::ProgramDir() + kMachineListFile;
    std::vector<std::string> skipped;
    try {
        const TextList lines = MachineListLines(
            krv_.ManagedList, [](const std::string& entry) { return LoadGroupFile(entry); },
            krv_.IpList, krv_.MacList, &skipped);
        toolkit::SaveLines(path, lines);
    } catch (const toolkit::FileError& error) {
        view_.Warn(text::kListNotExported + std::string(error.what()));
        return;
    }
    // One entry that cannot be read costs the others nothing; the user learns which.
    if (!skipped.empty()) {
        std::string message = text::kListExportedWithout;
        for (const auto& line : skipped) message += "\n" + line;
        Log(message);
        view_.Warn(message);
    }
    OpenSavedReport(path);
}

// --- the pop-up menu -----------------------------------------------------

std::string KorvaneApp::CommentOf(int entry) const {
    const auto comment = comments_.find(EntryName(entry));
    return comment != comments_.end() ? comment->second : "";
}

// Kept for the session: every rebuild of the map gives it back.
void KorvaneApp::SetComment(int entry, const std::string& text) {
    const std::string name = EntryName(entry);
    if (name.empty()) return;
    comments_[name] = text;
    Redraw_network();
}

std::string KorvaneApp::NameOf(int entry) const {
    return EntryName(entry);
}

// The new name is checked like any entry name before anything moves.
void KorvaneApp::Rename(int entry, const std::string& typed) {
    const std::string oldName = EntryName(entry);
    const std::string newName = toolkit::Trim(typed);
    if (oldName.empty() || newName == oldName) return;
    const auto index = static_cast<std::size_t>(entry);
    const std::string programDir = toolkit::ProgramDir();
    const std::string problem = RenameProblem(krv_.ManagedList, index, newName, programDir);
    if (!problem.empty()) {
        view_.Warn(problem);
        return;
    }
    try {
        const std::string moveProblem = RenameEntry(krv_.ManagedList, index, newName, programDir);
        if (!moveProblem.empty()) Log(moveProblem);
    } catch (const toolkit::FileError& error) {
        view_.Warn(error.what());
        return;
    }
    // The comment follows its entry under the new name.
    if (auto comment = comments_.extract(oldName)) {
        comment.key() = newName;
        comments_.insert(std::move(comment));
    }
    Redraw_network();
}

// --- the preferences ---------------------------------------------------

Preferences KorvaneApp::CurrentPreferences() {
    ShutdownSettings shutdown;
    NoticeSettings notices;
    try {
        shutdown = LoadShutdownSettings(toolkit::kHostOs, toolkit::ProgramDir());
        notices = LoadNoticeSettings(toolkit::ProgramDir());
    } catch (const toolkit::FileError& error) {
        view_.Warn(error.what());
    }
    return {std::to_string(krv_.settings.nbyrow), std::to_string(shutdown.delay), shutdown.comment,
            notices};
}

// A refused delay or comment is told and changes nothing. A number of
// computers per row that is not 1 to 32 changes nothing, without a word: the
// map shows the unchanged layout at once.
bool KorvaneApp::SavePreferences(const Preferences& typed) {
    const std::optional<int> delay = ParseShutdownDelay(typed.delay);
    if (!delay) {
        view_.Warn(ShutdownDelayRefusal(typed.delay));
        return false;
    }
    if (const auto problem = ShutdownCommentProblem(toolkit::kHostOs, typed.comment)) {
        view_.Warn(*problem);
        return false;
    }
    const std::string dir = toolkit::ProgramDir();
    try {
        const ShutdownSettings wanted{*delay, typed.comment};
        // With the defaults and no file, no file is made: nothing changes.
        if (toolkit::platform::FileExists(dir + kShutdownSettingsFile) ||
            wanted != ShutdownSettings{}) {
            SaveShutdownSettings(dir, wanted);
        }
        if (toolkit::platform::FileExists(dir + kNoticeSettingsFile) ||
            typed.notices != NoticeSettings{}) {
            SaveNoticeSettings(dir, typed.notices);
        }
    } catch (const toolkit::FileError& error) {
        view_.Warn(error.what());
        return false;
    }
    int nbyrow = 0;
    if (ParseEntriesPerRow(typed.nbyrow, nbyrow)) {
        krv_.settings.nbyrow = nbyrow;
        mapRebuild_ = true;
    }
    Redraw_network();
    return true;
}

// --- the intake dialog ---------------------------------------------------

std::optional<TextList> KorvaneApp::IntakeOpened() {
    TakeLogonServer(krv_.settings);
    const std::string managed = toolkit::ProgramDir() + kManagedFile;
    if (!toolkit::platform::FileExists(managed)) return std::nullopt;
    try {
        return toolkit::LoadLines(managed);
    } catch (const toolkit::FileError& error) {
        view_.Warn(error.what());
        return std::nullopt;
    }
}

// With netsweep's record, each row says what changed: new, moved, or when
// it was last seen; the newest come first.
std::optional<IntakeRows> KorvaneApp::IntakeRefresh(const TextList& memo) {
    std::optional<TextList> discover = ReadDiscoverFile();
    if (!discover) return std::nullopt;
    krv_.DiscoverList = std::move(*discover);
    if (const toolkit::DeviceRecord* record = DeviceRecordNow()) {
        return FillIntakeRows(krv_.DiscoverList, memo, krv_, *record, NowSeconds());
    }
    return FillIntakeRows(krv_.DiscoverList, memo, krv_);
}

// A bad line or a failed write keeps the dialog open with the memo as typed.
// Entries may have gone or moved: their old map controls must not stay.
bool KorvaneApp::IntakeOk(const TextList& memo) {
    const TextList before = krv_.ManagedList;
    const std::optional<std::string> failure = SaveIntake(memo, krv_);
    if (!failure || krv_.ManagedList != before) {
        mapRebuild_ = true;
        Redraw_network();
    }
    if (failure) view_.Warn(*failure);
    return !failure;
}

// --- the energy report ---------------------------------------------------

// The period ends with today, which counts up to now.
EnergyReport KorvaneApp::Energy(const TextList& names, int days) {
    const std::string dir = toolkit::ProgramDir();
    std::vector<StateChange> history;
    TextList draws;
    try {
        history = LoadHistory(dir);
        draws = LoadPowerDraws(dir);
    } catch (const toolkit::FileError& error) {
        view_.Warn(text::kHistoryUnreadable + std::string(error.what()));
    }
    const int today = LocalMinuteOf(clock_.Now()).day;
    const CivilDate first = CivilFromDays(today + 1 - days);
    const std::vector<std::int64_t> bounds =
        LocalDayBounds(first.year, first.month, first.day, days);
    EnergyReport report;
    for (int day = 0; day < days; ++day) {
        report.dayLabels.push_back(FormatDayMonthYear(CivilFromDays(today + 1 - days + day)));
    }
    report.rows = EnergyRows(history, names, draws, bounds, NowSeconds());
    return report;
}

// A draw that is not 1 to 5000 W is refused.
bool KorvaneApp::SetPowerDraw(const std::string& name, const std::string& typed) {
    int watts = 0;
    if (!ParsePowerDraw(typed, watts)) {
        view_.Warn("Puissance refusée : « " + typed +
                   " ». Donnez un nombre entier de watts, de 1 à " + std::to_string(kMaxPowerDraw) +
                   ".");
        return false;
    }
    try {
        const std::string dir = toolkit::ProgramDir();
        SavePowerDraws(dir, WithPowerDraw(LoadPowerDraws(dir), name, watts));
    } catch (const toolkit::FileError& error) {
        view_.Warn(error.what());
        return false;
    }
    return true;
}

bool KorvaneApp::ExportEnergy(const EnergyReport& report) {
    const std::string path = toolkit::ProgramDir() + kEnergyReportFile;
    try {
        toolkit::SaveLines(path, EnergyCsvLines(report.rows, report.dayLabels));
    } catch (const toolkit::FileError& error) {
        view_.Warn(text::kReportNotExported + std::string(error.what()));
        return false;
    }
    OpenSavedReport(path);
    return true;
}

// --- the console window --------------------------------------------------

bool KorvaneApp::SaveConsole(const std::string& path) {
    try {
        toolkit::SaveLines(path, console_);
    } catch (const toolkit::FileError& error) {
        view_.Warn(text::kConsoleNotSaved + std::string(error.what()));
        return false;
    }
    return true;
}

}  // namespace korvane
