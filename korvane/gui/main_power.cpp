// TForm1, the power commands: a click on a map entry opens the on/off dialog,
// "ON" wakes the entry, "OFF" shuts it down. Each command is a one-line
// script in the program folder, started detached; five minutes later its
// follow-up checks whether it took effect.
#include <QPlainTextEdit>

#include "KrvVar.h"
#include "forms.h"
#include "main.h"
#include "messages.h"
#include "polling.h"
#include "power.h"
#include "timescale.h"
#include "tools.h"
#include "umachine.h"

namespace korvane {

namespace {

// The power scripts live in the program folder; they need no scratch folder.
toolkit::ToolPaths PowerPaths() {
    return {toolkit::ProgramDir(), ""};
}

// The preferences' delay and comment; unreadable, the defaults, as before
// they existed.
ShutdownSettings CurrentShutdownSettings() {
    try {
        return LoadShutdownSettings(toolkit::kHostOs, toolkit::ProgramDir());
    } catch (const toolkit::FileError&) {
        return {};
    }
}

}  // namespace

void TForm1::machineClick(GlyphButton* sender) {
    KrvVar& krv = Krv();
    krv.SelectedEntry = sender->Tag;
    if (Application() == nullptr || Application()->machines() == nullptr) return;
    const int result = Application()->machines()->exec();
    const auto entry = static_cast<std::size_t>(krv.SelectedEntry);
    if (entry >= krv.ManagedList.size()) return;
    const std::string name = krv.ManagedList[entry];
    if (result == kResultYes) PowerUp(name);
    if (result == kResultNo) Shutdown(name);
}

void TForm1::PowerUp(const std::string& name) {
    const KrvVar& krv = Krv();
    const PowerCommand command =
        PowerUpCommand(toolkit::kHostOs, PowerPaths(), name, krv.FindMAC(name), krv.FindIP(name));
    if (!StartPowerScript(command.refusal, command.commandLine, command.scriptPath,
                          command.scriptText)) {
        return;
    }
    ArmFollowUp(FollowKind::WakeUp, name);
}

void TForm1::Shutdown(const std::string& name) {
    if (RefuseProtectedShutdown(name)) return;
    const toolkit::ToolPaths paths = PowerPaths();
    PowerCommand command = ShutdownCommand(toolkit::kHostOs, paths, name, Krv().FindIP(name),
                                           CurrentShutdownSettings());
    if (!command.Refused()) {
        command.refusal = ShutdownAuthProblem(toolkit::kHostOs, paths, name).value_or("");
    }
    if (!StartPowerScript(command.refusal, command.commandLine, command.scriptPath,
                          command.scriptText)) {
        return;
    }
    ArmFollowUp(FollowKind::Shutdown, name);
}

// A refused command runs nothing and says why, in the console log and to the
// user. A script that cannot be written stops the command before anything
// starts; its console line stays.
bool TForm1::StartPowerScript(const std::string& refusal, const std::string& commandLine,
                              const std::string& scriptPath, const std::string& scriptText) {
    if (!refusal.empty()) {
        Log(refusal);
        ShowWarning(this, Q(refusal));
        return false;
    }
    Log(LaunchedLine(commandLine));
    try {
        toolkit::SaveText(scriptPath, scriptText);
    } catch (const toolkit::FileError& error) {
        ReportError(error.what());
        return false;
    }
    toolkit::StartDetached(ScriptCommand(toolkit::kHostOs, scriptPath));
    return true;
}

// Each command gets its own one-shot timer, tagged with the entry's position
// at the time of the command; its launch frees it at its first tick.
void TForm1::ArmFollowUp(FollowKind kind, const std::string& name) {
    const auto position = toolkit::IndexOfLine(Krv().ManagedList, name);
    if (!position) return;
    auto* timer = new TTimer(this);
    timer->Tag = static_cast<int>(*position);
    timer->setInterval(ScaledInterval(kFollowUpDelay));
    connect(timer, &QTimer::timeout, this, [this, kind, timer] {
        if (kind == FollowKind::Shutdown) {
            FollowDownLaunch(timer);
        } else {
            FollowUpLaunch(timer);
        }
    });
    timer->start();
}

}  // namespace korvane
