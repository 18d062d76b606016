#include "korvane/app/menus.h"

#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/commands.h"
#include "korvane/core/export.h"
#include "korvane/core/names.h"
#include "korvane/core/protection.h"
#include "korvane/core/shutdownsettings.h"
#include "korvane/core/sshpower.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

using toolkit::Quoted;

void Menus::Protect(const std::string& typed) {
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
    map_.Redraw();
}

// The key is made once; later requests show the same public half again.
void Menus::CreateSshKey() {
    const toolkit::ToolPaths paths{toolkit::ProgramDir(), ""};
    const std::string key = paths.programDir + kSshKeyFile;
    const std::string publicKey = key + ".pub";
    if (!toolkit::platform::FileExists(key)) {
        const std::string line = SshKeygenCommandLine(toolkit::kHostOs, paths);
        ctx_.console.Log(LaunchedLine(line));
        toolkit::RunAndWait(line);
        if (!toolkit::platform::FileExists(key)) {
            const std::string message = text::kSshKeyNotMade + key + "».";
            ctx_.console.Log(message);
            ctx_.view.Warn(message);
            return;
        }
    }
    TextList lines;
    try {
        lines = toolkit::LoadLines(publicKey);
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(text::kSshPublicKeyMissing + std::string(error.what()));
        return;
    }
    std::string shown;
    for (const auto& line : lines) shown += (shown.empty() ? "" : "\n") + line;
    ctx_.view.Inform(text::kSshKeyShown + key + "\n\n" + text::kSshKeyCopy + "\n\n" + shown);
}

void Menus::ExportMachineList() {
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

// Kept for the session: every rebuild of the map gives it back.
void Menus::SetComment(int entry, const std::string& text) {
    const std::string name = ctx_.EntryName(entry);
    if (name.empty()) return;
    map_.SetComment(name, text);
    map_.Redraw();
}

// The new name is checked like any entry name before anything moves.
void Menus::Rename(int entry, const std::string& typed) {
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
    map_.Redraw();
}

Preferences Menus::CurrentPreferences() {
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
bool Menus::SavePreferences(const Preferences& typed) {
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
    map_.Redraw();
    return true;
}

}  // namespace korvane
