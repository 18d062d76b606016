#include "korvane/app/entry_dialog.h"

#include "korvane/app/texts.h"
#include "korvane/core/sshpower.h"
#include "tools.h"

namespace korvane {

std::optional<EntryCard> EntryDialog::Card(int entry) {
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

void EntryDialog::FillSshCard(const std::string& name, EntryCard& card) {
    try {
        if (const auto entry = FindSsh(LoadSshList(toolkit::ProgramDir()), name)) {
            card.overSsh = true;
            card.sshUser = entry->user;
        }
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(text::kSshUnreadable + std::string(error.what()));
    }
}

// Saved only when it changed; a user name that could not go into a command
// is refused before anything is written, and the saved setting stays.
bool EntryDialog::SaveSshSetting(int entry, bool overSsh, const std::string& typedUser) {
    const std::string name = ctx_.EntryName(entry);
    if (name.empty()) return false;
    const std::string user = toolkit::Trim(typedUser);
    if (overSsh) {
        if (const auto problem = SshUserProblem(user)) {
            ctx_.view.Warn(text::kSshNotSaved + *problem);
            return false;
        }
    }
    try {
        const std::string dir = toolkit::ProgramDir();
        const SshList saved = LoadSshList(dir);
        const auto before = FindSsh(saved, name);
        if (!overSsh && !before) return false;
        if (overSsh && before && before->user == user) return false;
        SaveSshList(dir, WithSsh(saved, name, overSsh ? std::optional(user) : std::nullopt));
        ctx_.console.Log(overSsh ? "« " + name + " » sera arrêté par SSH, en tant que " + user + "."
                                 : "« " + name + " » ne sera plus arrêté par SSH.");
        return true;
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(text::kSshNotSaved + std::string(error.what()));
        return false;
    }
}

}  // namespace korvane
