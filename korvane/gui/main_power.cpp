// TForm1, the power commands: a click on a map entry opens the on/off dialog,
// "ON" wakes the entry, "OFF" shuts it down (a group: each of its computers).
// Each command is a script in the program folder, one line per computer,
// started detached; a failure is told as soon as it ends, and five minutes
// later its follow-up checks whether it took effect.
#include <QPlainTextEdit>
#include <QStatusBar>

#include "KrvVar.h"
#include "forms.h"
#include "main.h"
#include "messages.h"
#include "platform/platform.h"
#include "polling.h"
#include "power.h"
#include "timescale.h"
#include "tools.h"
#include "umachine.h"

namespace korvane {

namespace {

// A refused command is told at once: the script's end is looked for often.
constexpr int kPowerReportInterval = 100;

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

std::string JoinedRefusals(const std::vector<std::string>& refusals) {
    std::string text;
    for (const auto& refusal : refusals) text += (text.empty() ? "" : " ") + refusal;
    return text;
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

// The computers of the entry: the members of its group file, or the entry
// itself. A group file that cannot be read leaves the entry alone, as a
// computer of its own.
static TextList TargetsOf(const std::string& name) {
    try {
        return PowerTargets(name, LoadGroupFile(name));
    } catch (const toolkit::FileError&) {
        return {name};
    }
}

void TForm1::PowerUp(const std::string& name) {
    const KrvVar& krv = Krv();
    const TextList computers = TargetsOf(name);
    std::vector<PowerCommand> commands;
    for (const auto& computer : computers) {
        const std::string ip = toolkit::Trim(krv.FindIP(computer));
        commands.push_back(PowerUpCommand(toolkit::kHostOs, PowerPaths(), computer,
                                          krv.FindMAC(computer), ip,
                                          WakeMask(ip, krv.LocalAddresses, krv.LocalMasks)));
    }
    if (!RunPowerScript(PowerAction::WakeUp, name, computers, commands)) return;
    ArmFollowUp(FollowKind::WakeUp, name);
}

void TForm1::Shutdown(const std::string& name) {
    if (RefuseProtectedShutdown(name)) return;
    const toolkit::ToolPaths paths = PowerPaths();
    const ShutdownSettings settings = CurrentShutdownSettings();
    const TextList computers = TargetsOf(name);
    std::vector<PowerCommand> commands;
    for (const auto& computer : computers) {
        commands.push_back(ShutdownCommand(toolkit::kHostOs, paths, computer,
                                           Krv().FindIP(computer), settings));
    }
    if (!RunPowerScript(PowerAction::Shutdown, name, computers, commands)) return;
    ArmFollowUp(FollowKind::Shutdown, name);
}

// A refused command runs nothing and says why, in the console log and to the
// user; computers of a group that cannot be given the command are named in
// the status bar, and the others get it. A script that cannot be written
// stops the command before anything starts; its console lines stay. The
// script reports through a slot: its tools' output and exit statuses come
// back in the slot's result file, read as soon as the script has ended.
bool TForm1::RunPowerScript(PowerAction action, const std::string& name,
                            const TextList& computers, const std::vector<PowerCommand>& commands) {
    KrvVar& krv = Krv();
    const toolkit::ToolPaths paths = PowerPaths();
    std::optional<SlotFiles> report;
    try {
        report = SlotFilesFor(toolkit::kHostOs, toolkit::HostToolPaths(), krv.PingSlot);
    } catch (const toolkit::ScratchError& error) {
        Log(std::string("Issue de la commande non suivie : ") + error.what());
    }
    PowerScript script =
        ComposePowerScript(toolkit::kHostOs, paths, action, name, computers, commands, report);
    if (!script.Refused() && action == PowerAction::Shutdown) {
        script.refusal = ShutdownAuthProblem(toolkit::kHostOs, paths, name).value_or("");
    }
    if (script.Refused()) {
        Log(script.refusal);
        ShowWarning(this, Q(script.refusal));
        return false;
    }
    for (const auto& refusal : script.leftOut) Log(refusal);
    if (!script.leftOut.empty()) {
        StatusMain->showMessage(Q(JoinedRefusals(script.leftOut)));
    }
    for (const auto& line : script.commandLines) Log(LaunchedLine(line));
    try {
        if (report) {
            ArmMarker(report->marker);
            toolkit::platform::RemoveFile(report->result);
        }
        toolkit::SaveText(script.scriptPath, script.scriptText);
    } catch (const toolkit::FileError& error) {
        ReportError(error.what());
        return false;
    }
    toolkit::StartDetached(ScriptCommand(toolkit::kHostOs, script.scriptPath));
    if (report) {
        const int slot = krv.PingSlot++;
        StartRequestTimer(slot, kPowerReportInterval,
                          [this, action, computers = script.computers](TTimer* timer) {
                              ReadPowerReport(action, computers, timer);
                          });
    }
    return true;
}

// A command that failed is told at once, naming the computer and the tool's
// reason; the tool's own lines go to the console log.
void TForm1::ReadPowerReport(PowerAction action, const TextList& computers, TTimer* timer) {
    const int slot = timer->Tag;
    const std::optional<SlotFiles> finished = FinishedSlot(static_cast<std::uint8_t>(slot));
    if (!finished) return;
    ReleasePingTimer(slot);
    TextList result;
    try {
        result = toolkit::LoadLines(finished->result);
    } catch (const toolkit::FileError& error) {
        Log(std::string("Issue de la commande illisible : ") + error.what());
        return;
    }
    const std::vector<PowerFailure> failures = PowerFailures(result, computers);
    if (failures.empty()) return;
    for (const auto& failure : failures) {
        for (const auto& line : failure.output) Log(failure.computer + " : " + line);
    }
    const std::string message = PowerFailureMessage(action, failures);
    Log(message);
    StatusMain->showMessage(Q(message));
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
