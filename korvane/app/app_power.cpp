// KorvaneApp, the power commands: "ON" wakes an entry, "OFF" shuts it down
// (a group: each of its computers). Each command is a script in the program
// folder, one line per computer, started detached; a failure is told as soon
// as it ends, and five minutes later its follow-up checks whether it took
// effect.
#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/shutdownsettings.h"
#include "korvane/core/sshpower.h"
#include "platform/platform.h"
#include "tools.h"

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

// The SSH settings; unreadable, none, and `problem` says why.
SshList CurrentSshList(std::string& problem) {
    try {
        return LoadSshList(toolkit::ProgramDir());
    } catch (const toolkit::FileError& error) {
        problem = error.what();
        return {};
    }
}

FollowKind FollowKindOf(PowerAction action) {
    return action == PowerAction::Restart ? FollowKind::Restart : FollowKind::Shutdown;
}

// The computers of the entry: the members of its group file, or the entry
// itself. A group file that cannot be read leaves the entry alone, as a
// computer of its own.
TextList TargetsOf(const std::string& name) {
    try {
        return PowerTargets(name, LoadGroupFile(name));
    } catch (const toolkit::FileError&) {
        return {name};
    }
}

}  // namespace

void KorvaneApp::Wake(int entry) {
    const std::string name = EntryName(entry);
    if (!name.empty()) PowerUp(name);
}

void KorvaneApp::ShutDown(int entry) {
    const std::string name = EntryName(entry);
    if (!name.empty()) Shutdown(name);
}

bool KorvaneApp::PowerUp(const std::string& name, bool planned) {
    const TextList computers = TargetsOf(name);
    std::vector<PowerCommand> commands;
    for (const auto& computer : computers) {
        const std::string ip = toolkit::Trim(krv_.FindIP(computer));
        commands.push_back(PowerUpCommand(toolkit::kHostOs, PowerPaths(), computer,
                                          krv_.FindMAC(computer), ip,
                                          WakeMask(ip, krv_.LocalAddresses, krv_.LocalMasks)));
    }
    if (!RunPowerScript(PowerAction::WakeUp, name, computers, commands, planned)) return false;
    ArmFollowUp(FollowKind::WakeUp, name);
    return true;
}

void KorvaneApp::Reboot(int entry) {
    const std::string name = EntryName(entry);
    if (!name.empty()) Restart(name);
}

void KorvaneApp::TestAccess(int entry) {
    const std::string name = EntryName(entry);
    if (!name.empty()) TestAccess(name);
}

bool KorvaneApp::Shutdown(const std::string& name, bool planned) {
    return RemotePower(PowerAction::Shutdown, name, planned);
}

bool KorvaneApp::Restart(const std::string& name, bool planned) {
    return RemotePower(PowerAction::Restart, name, planned);
}

bool KorvaneApp::TestAccess(const std::string& name) {
    return RemotePower(PowerAction::TestAccess, name, false);
}

// Each computer gets its command over SSH when liste.ssh names it, else
// through Samba (Windows' own tools on Windows). A protected computer is
// never shut down nor restarted; testing its access harms nothing.
bool KorvaneApp::RemotePower(PowerAction action, const std::string& name, bool planned) {
    if (action != PowerAction::TestAccess && RefuseProtectedShutdown(name, planned, action))
        return false;
    const toolkit::ToolPaths paths = PowerPaths();
    const ShutdownSettings settings = CurrentShutdownSettings();
    std::string sshProblem;
    const SshList ssh = CurrentSshList(sshProblem);
    if (!sshProblem.empty()) {
        // Unsure which computers want ssh: none gets a command it may not understand.
        Refuse(ActionStart(action) + ("« " + name + " » refusé : ") + text::kSshUnreadable +
                   sshProblem,
               planned);
        return false;
    }
    const TextList computers = TargetsOf(name);
    std::vector<PowerCommand> commands;
    bool displaced = false;
    for (const auto& computer : computers) {
        // Another device at the address would get the command.
        if (const auto holder = HolderBeforeShutdown(computer)) {
            PowerCommand refused;
            refused.refusal = AddressTakenRefusal(ActionStart(action), computer, *holder);
            commands.push_back(refused);
            displaced = true;
            continue;
        }
        commands.push_back(RemoteCommand(toolkit::kHostOs, paths, action, computer,
                                         krv_.FindIP(computer), settings, FindSsh(ssh, computer)));
    }
    if (displaced) StartScanNow();
    if (!RunPowerScript(action, name, computers, commands, planned)) return false;
    if (action != PowerAction::TestAccess) ArmFollowUp(FollowKindOf(action), name);
    return true;
}

// A refused command runs nothing and says why, in the console log and to the
// user; computers of a group that cannot be given the command are named in
// the status bar, and the others get it. A script that cannot be written
// stops the command before anything starts; its console lines stay. The
// script reports through a slot: its tools' output and exit statuses come
// back in the slot's result file, read as soon as the script has ended.
bool KorvaneApp::RunPowerScript(PowerAction action, const std::string& name,
                                const TextList& computers,
                                const std::vector<PowerCommand>& commands, bool planned) {
    const toolkit::ToolPaths paths = PowerPaths();
    std::optional<SlotFiles> report;
    try {
        report = SlotFilesFor(toolkit::kHostOs, SlotPaths(), krv_.PingSlot);
    } catch (const toolkit::ScratchError& error) {
        Log(text::kOutcomeNotFollowed + std::string(error.what()));
    }
    PowerScript script =
        ComposePowerScript(toolkit::kHostOs, paths, action, name, computers, commands, report);
    if (!script.Refused() && action != PowerAction::WakeUp && script.UsesSamba()) {
        script.refusal = ShutdownAuthProblem(toolkit::kHostOs, paths, name, action).value_or("");
    }
    if (!script.Refused() && script.UsesSsh()) {
        script.refusal = SshKeyProblem(toolkit::kHostOs, paths, name, action).value_or("");
    }
    if (script.Refused()) {
        Refuse(script.refusal, planned);
        return false;
    }
    for (const auto& refusal : script.leftOut) Log(refusal);
    if (!script.leftOut.empty()) Status(JoinedRefusals(script.leftOut));
    for (const auto& line : script.commandLines) Log(LaunchedLine(line));
    try {
        if (report) ArmSlot();
        toolkit::SaveText(script.scriptPath, script.scriptText);
    } catch (const std::exception& error) {  // FileError, ScratchError
        view_.Warn(error.what());
        return false;
    }
    toolkit::StartDetached(ScriptCommand(toolkit::kHostOs, script.scriptPath));
    if (report) {
        WatchSlot(kPowerReportInterval,
                  [this, action, planned, acted = script.computers, overSsh = script.overSsh](
                      int slot) { ReadPowerReport(action, acted, overSsh, planned, slot); });
    }
    return true;
}

// A command that failed is told at once, naming the computer and the tool's
// reason; the tool's own lines go to the console log. An access test tells
// its answer whatever it is.
void KorvaneApp::ReadPowerReport(PowerAction action, const TextList& computers,
                                 const std::vector<bool>& overSsh, bool planned, int slot) {
    const std::optional<SlotFiles> finished = FinishSlot(slot);
    if (!finished) return;
    TextList result;
    try {
        result = LoadPowerResult(finished->result);
    } catch (const toolkit::FileError& error) {
        Log(text::kOutcomeUnreadable + std::string(error.what()));
        return;
    }
    const std::vector<PowerFailure> failures = PowerFailures(result, computers);
    for (const auto& failure : failures) {
        for (const auto& line : failure.output) Log(failure.computer + " : " + line);
    }
    if (action == PowerAction::TestAccess) {
        const std::string report = AccessReport(result, computers, overSsh);
        Log(report);
        Status(report);
        return;
    }
    if (failures.empty()) return;
    const std::string message = PowerFailureMessage(action, failures);
    Log(message);
    Status(message);
    if (planned) Tell(PlanFailureNotice(message));
}

// A refused command runs nothing; the user is told why, and by a
// notification when nobody clicked it.
void KorvaneApp::Refuse(const std::string& refusal, bool planned) {
    Log(refusal);
    view_.Warn(refusal);
    if (planned) Tell(PlanFailureNotice(refusal));
}

// Each command gets its own one-shot timer, tied to the entry's position at
// the time of the command.
void KorvaneApp::ArmFollowUp(FollowKind kind, const std::string& name) {
    const auto position = toolkit::IndexOfLine(krv_.ManagedList, name);
    if (!position) return;
    After(kFollowUpDelay,
          [this, kind, entry = static_cast<int>(*position)] { LaunchChecks(kind, entry); });
}

}  // namespace korvane
