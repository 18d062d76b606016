// KorvaneApp, the SSH shutdown of Linux computers: the on/off dialog's
// setting (liste.ssh) and Korvane's own key, made on request.
#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/sshpower.h"
#include "platform/platform.h"
#include "reseau.h"
#include "tools.h"

namespace korvane {

void KorvaneApp::FillSshCard(const std::string& name, EntryCard& card) {
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
bool KorvaneApp::SaveSshSetting(int entry, bool overSsh, const std::string& typedUser) {
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

// The key is made once; later requests show the same public half again.
void KorvaneApp::CreateSshKey() {
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

}  // namespace korvane
