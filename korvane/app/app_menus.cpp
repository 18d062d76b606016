// KorvaneApp, the commands of the menus and dialogs: the on/off dialog's
// times, "Ne jamais éteindre...", the machine list, the pop-up menu's
// comment and renaming, the preferences, the intake dialog's OK and the
// energy report.
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
    const std::string name = ctx_.EntryName(entry);
    if (name.empty()) return std::nullopt;
    const auto index = static_cast<std::size_t>(entry);
    EntryCard card{toolkit::AsciiUpper(name),
                   index < ctx_.krv.EntryIPs.size() ? ctx_.krv.EntryIPs[index] : "",
                   ctx_.krv.FindMAC(name),
                   "0:00",
                   "0:00",
                   false,
                   ""};
    if (const auto problem = planner_.Reload()) ctx_.view.Warn(text::kPlanUnreadable + *problem);
    const EntrySchedule plan = ScheduleOf(planner_.Plan(), name);
    card.wakeUp = FormatDailyTime(plan.wakeUp);
    card.shutdown = FormatDailyTime(plan.shutdown);
    FillSshCard(name, card);
    return card;
}

// Saved before "ON" or "OFF" acts, so the map's hint already shows it. A time
// that does not parse keeps the saved one, and the user is told; a plan that
// cannot be read is not overwritten.
void KorvaneApp::SavePlanTimes(int entry, const std::string& wakeUp, const std::string& shutdown) {
    const std::string name = ctx_.EntryName(entry);
    if (!name.empty()) planner_.SaveTimes(name, wakeUp, shutdown);
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
                ctx_.view.Warn("Nom refusé : " + Quoted(name) +
                               " ne peut désigner un ordinateur (" + EntryNameRule(name) + ").");
                return;
            case ProtectChange::Add:
                SaveProtected(dir, WithProtected(list, name));
                ctx_.view.Inform(Quoted(name) + " ne sera jamais éteint par Korvane.");
                break;
            case ProtectChange::OfferRemoval:
                if (!ctx_.view.AskYesNo(Quoted(name) +
                                        " est déjà dans la liste des machines à ne jamais "
                                        "éteindre. L'en retirer ?")) {
                    return;
                }
                SaveProtected(dir, WithoutProtected(list, name));
                ctx_.view.Inform(Quoted(name) + " peut de nouveau être éteint.");
                break;
        }
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(text::kProtectNotChanged + std::string(error.what()));
        return;
    }
    planner_.Reload();
    Redraw_network();
}

// --- "Liste machines" --------------------------------------------------

void KorvaneApp::ExportMachineList() {
    const std::string path = toolkit::ProgramDir() + kMachineListFile;
    std::vector<std::string> skipped;
    try {
        const TextList lines = MachineListLines(
            ctx_.krv.ManagedList, [](const std::string& entry) { return LoadGroupFile(entry); },
            ctx_.krv.IpList, ctx_.krv.MacList, &skipped);
        toolkit::SaveLines(path, lines);
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(text::kListNotExported + std::string(error.what()));
        return;
    }
    // One entry that cannot be read costs the others nothing; the user learns which.
    if (!skipped.empty()) {
        std::string message = text::kListExportedWithout;
        for (const auto& line : skipped) message += "\n" + line;
        ctx_.console.Log(message);
        ctx_.view.Warn(message);
    }
    OpenSavedReport(ctx_.console, path);
}

// --- the pop-up menu -----------------------------------------------------

std::string KorvaneApp::CommentOf(int entry) const {
    return map_.CommentOf(ctx_.EntryName(entry));
}

// Kept for the session: every rebuild of the map gives it back.
void KorvaneApp::SetComment(int entry, const std::string& text) {
    const std::string name = ctx_.EntryName(entry);
    if (name.empty()) return;
    map_.SetComment(name, text);
    Redraw_network();
}

std::string KorvaneApp::NameOf(int entry) const {
    return ctx_.EntryName(entry);
}

// The new name is checked like any entry name before anything moves.
void KorvaneApp::Rename(int entry, const std::string& typed) {
    const std::string oldName = ctx_.EntryName(entry);
    const std::string newName = toolkit::Trim(typed);
    if (oldName.empty() || newName == oldName) return;
    const auto index = static_cast<std::size_t>(entry);
    const std::string programDir = toolkit::ProgramDir();
    const std::string problem = RenameProblem(ctx_.krv.ManagedList, index, newName, programDir);
    if (!problem.empty()) {
        ctx_.view.Warn(problem);
        return;
    }
    try {
        const std::string moveProblem =
            RenameEntry(ctx_.krv.ManagedList, index, newName, programDir);
        if (!moveProblem.empty()) ctx_.console.Log(moveProblem);
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(error.what());
        return;
    }
    // The comment follows its entry under the new name.
    map_.MoveComment(oldName, newName);
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
        ctx_.view.Warn(error.what());
    }
    return {std::to_string(ctx_.krv.settings.nbyrow), std::to_string(shutdown.delay),
            shutdown.comment, notices};
}

// A refused delay or comment is told and changes nothing. A number of
// computers per row that is not 1 to 32 changes nothing, without a word: the
// map shows the unchanged layout at once.
bool KorvaneApp::SavePreferences(const Preferences& typed) {
    const std::optional<int> delay = ParseShutdownDelay(typed.delay);
    if (!delay) {
        ctx_.view.Warn(ShutdownDelayRefusal(typed.delay));
        return false;
    }
    if (const auto problem = ShutdownCommentProblem(toolkit::kHostOs, typed.comment)) {
        ctx_.view.Warn(*problem);
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
        ctx_.view.Warn(error.what());
        return false;
    }
    int nbyrow = 0;
    if (ParseEntriesPerRow(typed.nbyrow, nbyrow)) {
        ctx_.krv.settings.nbyrow = nbyrow;
        map_.RebuildNext();
    }
    Redraw_network();
    return true;
}

// --- the intake dialog ---------------------------------------------------

std::optional<TextList> KorvaneApp::IntakeOpened() {
    TakeLogonServer(ctx_.krv.settings);
    const std::string managed = toolkit::ProgramDir() + kManagedFile;
    if (!toolkit::platform::FileExists(managed)) return std::nullopt;
    try {
        return toolkit::LoadLines(managed);
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(error.what());
        return std::nullopt;
    }
}

// With netsweep's record, each row says what changed: new, moved, or when
// it was last seen; the newest come first.
std::optional<IntakeRows> KorvaneApp::IntakeRefresh(const TextList& memo) {
    std::optional<TextList> discover = ReadDiscoverFile();
    if (!discover) return std::nullopt;
    ctx_.krv.DiscoverList = std::move(*discover);
    if (const toolkit::DeviceRecord* record = scans_.DeviceRecordNow()) {
        return FillIntakeRows(ctx_.krv.DiscoverList, memo, ctx_.krv, *record, ctx_.NowSeconds());
    }
    return FillIntakeRows(ctx_.krv.DiscoverList, memo, ctx_.krv);
}

// A bad line or a failed write keeps the dialog open with the memo as typed.
// Entries may have gone or moved: their old map controls must not stay.
bool KorvaneApp::IntakeOk(const TextList& memo) {
    const TextList before = ctx_.krv.ManagedList;
    const std::optional<std::string> failure = SaveIntake(memo, ctx_.krv);
    if (!failure || ctx_.krv.ManagedList != before) {
        map_.RebuildNext();
        Redraw_network();
    }
    if (failure) ctx_.view.Warn(*failure);
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
        ctx_.view.Warn(text::kHistoryUnreadable + std::string(error.what()));
    }
    const int today = LocalMinuteOf(ctx_.clock.Now()).day;
    const CivilDate first = CivilFromDays(today + 1 - days);
    const std::vector<std::int64_t> bounds =
        LocalDayBounds(first.year, first.month, first.day, days);
    EnergyReport report;
    for (int day = 0; day < days; ++day) {
        report.dayLabels.push_back(FormatDayMonthYear(CivilFromDays(today + 1 - days + day)));
    }
    report.rows = EnergyRows(history, names, draws, bounds, ctx_.NowSeconds());
    return report;
}

// A draw that is not 1 to 5000 W is refused.
bool KorvaneApp::SetPowerDraw(const std::string& name, const std::string& typed) {
    int watts = 0;
    if (!ParsePowerDraw(typed, watts)) {
        ctx_.view.Warn("Puissance refusée : « " + typed +
                       " ». Donnez un nombre entier de watts, de 1 à " +
                       std::to_string(kMaxPowerDraw) + ".");
        return false;
    }
    try {
        const std::string dir = toolkit::ProgramDir();
        SavePowerDraws(dir, WithPowerDraw(LoadPowerDraws(dir), name, watts));
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(error.what());
        return false;
    }
    return true;
}

bool KorvaneApp::ExportEnergy(const EnergyReport& report) {
    const std::string path = toolkit::ProgramDir() + kEnergyReportFile;
    try {
        toolkit::SaveLines(path, EnergyCsvLines(report.rows, report.dayLabels));
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(text::kReportNotExported + std::string(error.what()));
        return false;
    }
    OpenSavedReport(ctx_.console, path);
    return true;
}

}  // namespace korvane
