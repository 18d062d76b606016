#include "korvane/app/power_commands.h"

#include "korvane/app/texts.h"
#include "korvane/core/names.h"
#include "korvane/core/protection.h"
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
    for (const auto& refusal : refusals) {
        if (!refusal.empty()) text += (text.empty() ? "" : " ") + refusal;
    }
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

// The script, refused when what its commands need is missing: the
// shutdown's account file for Samba, Korvane's key for SSH.
PowerScript CheckedScript(PowerAction action, const std::string& name, const TextList& computers,
                          const std::vector<PowerCommand>& commands,
                          const std::optional<SlotFiles>& report) {
    const toolkit::ToolPaths paths = PowerPaths();
    PowerScript script =
        ComposePowerScript(toolkit::kHostOs, paths, action, name, computers, commands, report);
    if (!script.Refused() && action != PowerAction::WakeUp && script.UsesSamba()) {
        script.refusal = ShutdownAuthProblem(toolkit::kHostOs, paths, name, action).value_or("");
    }
    if (!script.Refused() && script.UsesSsh()) {
        script.refusal = SshKeyProblem(toolkit::kHostOs, paths, name, action).value_or("");
    }
    return script;
}

}  // namespace

bool PowerCommands::Run(PowerAction action, const std::string& name, CommandOrigin origin,
                        PowerDone done, FollowUpDone followed) {
    const Caller caller{origin, std::move(done), std::move(followed)};
    if (action == PowerAction::WakeUp) return PowerUp(name, caller);
    return RemotePower(action, name, caller);
}

bool PowerCommands::PowerUp(const std::string& name, const Caller& caller) {
    const TextList computers = TargetsOf(name);
    std::vector<PowerCommand> commands;
    for (const auto& computer : computers) {
        const std::string ip = toolkit::Trim(ctx_.krv.FindIP(computer));
        commands.push_back(
            PowerUpCommand(toolkit::kHostOs, PowerPaths(), computer, ctx_.krv.FindMAC(computer), ip,
                           WakeMask(ip, ctx_.krv.LocalAddresses, ctx_.krv.LocalMasks)));
    }
    if (!RunPowerScript(PowerAction::WakeUp, name, computers, commands, caller)) return false;
    followUps_.Arm(FollowKind::WakeUp, name, caller.followed);
    return true;
}

// Each computer gets its command over SSH when liste.ssh names it, else
// through Samba (Windows' own tools on Windows). A protected computer is
// never shut down nor restarted; testing its access harms nothing.
bool PowerCommands::RemotePower(PowerAction action, const std::string& name, const Caller& caller) {
    if (action != PowerAction::TestAccess && RefuseProtected(action, name, caller)) return false;
    std::string sshProblem;
    const SshList ssh = CurrentSshList(sshProblem);
    if (!sshProblem.empty()) {
        // Unsure which computers want ssh: none gets a command it may not understand.
        Refuse(ActionStart(action) + ("« " + name + " » refusé : ") + text::kSshUnreadable +
                   sshProblem,
               caller);
        return false;
    }
    const TextList computers = TargetsOf(name);
    const std::vector<PowerCommand> commands = RemoteCommands(action, computers, ssh);
    if (!RunPowerScript(action, name, computers, commands, caller)) return false;
    if (action != PowerAction::TestAccess) {
        followUps_.Arm(FollowKindOf(action), name, caller.followed);
    }
    return true;
}

// Another device at a computer's address would get the command: that
// computer gets a refusal instead, and netsweep runs so that the lists catch up.
std::vector<PowerCommand> PowerCommands::RemoteCommands(PowerAction action,
                                                        const TextList& computers,
                                                        const SshList& ssh) {
    const toolkit::ToolPaths paths = PowerPaths();
    const ShutdownSettings settings = CurrentShutdownSettings();
    std::vector<PowerCommand> commands;
    bool displaced = false;
    for (const auto& computer : computers) {
        if (const auto holder = holders_.BeforeShutdown(computer)) {
            PowerCommand refused;
            refused.refusal = AddressTakenRefusal(ActionStart(action), computer, *holder);
            commands.push_back(refused);
            displaced = true;
            continue;
        }
        commands.push_back(RemoteCommand(toolkit::kHostOs, paths, action, computer,
                                         ctx_.krv.FindIP(computer), settings,
                                         FindSsh(ssh, computer)));
    }
    if (displaced) scans_.StartUnlessRunning();
    return commands;
}

// A refused command runs nothing and says why, in the console log and to the
// user; computers of a group that cannot be given the command are named in
// the status bar, and the others get it. A script that cannot be written
// stops the command before anything starts; its console lines stay. The
// script reports through a slot: its tools' output and exit statuses come
// back in the slot's result file, read as soon as the script has ended.
bool PowerCommands::RunPowerScript(PowerAction action, const std::string& name,
                                   const TextList& computers,
                                   const std::vector<PowerCommand>& commands,
                                   const Caller& caller) {
    std::optional<SlotFiles> report;
    std::string notFollowed;
    try {
        report = SlotFilesFor(toolkit::kHostOs, SlotPaths(), ctx_.krv.PingSlot);
    } catch (const toolkit::ScratchError& error) {
        notFollowed = text::kOutcomeNotFollowed + std::string(error.what());
        ctx_.console.Log(notFollowed);
    }
    const PowerScript script = CheckedScript(action, name, computers, commands, report);
    if (script.Refused()) {
        Refuse(script.refusal, caller);
        return false;
    }
    for (const auto& refusal : script.leftOut) ctx_.console.Log(refusal);
    if (!script.leftOut.empty()) ctx_.console.Status(JoinedRefusals(script.leftOut));
    for (const auto& line : script.commandLines) ctx_.console.Log(LaunchedLine(line));
    try {
        if (report) requests_.Arm();
        toolkit::SaveText(script.scriptPath, script.scriptText);
    } catch (const std::exception& error) {  // FileError, ScratchError
        Warn(error.what(), caller);
        caller.Tell(false, error.what());
        return false;
    }
    toolkit::StartDetached(ScriptCommand(toolkit::kHostOs, script.scriptPath));
    if (!report) {
        caller.Tell(true, notFollowed);
        return true;
    }
    const Sent sent{action, script.computers, script.overSsh, JoinedRefusals(script.leftOut)};
    requests_.Watch(kPowerReportInterval,
                    [this, sent, caller](int slot) { ReadPowerReport(sent, caller, slot); });
    return true;
}

// A command that failed is told at once, naming the computer and the tool's
// reason; the tool's own lines go to the console log. An access test tells
// its answer whatever it is.
void PowerCommands::ReadPowerReport(const Sent& sent, const Caller& caller, int slot) {
    const std::optional<SlotFiles> finished = requests_.Finish(slot);
    if (!finished) return;
    TextList result;
    try {
        result = LoadPowerResult(finished->result);
    } catch (const toolkit::FileError& error) {
        const std::string message = text::kOutcomeUnreadable + std::string(error.what());
        ctx_.console.Log(message);
        caller.Tell(true, message, true);
        return;
    }
    const std::vector<PowerFailure> failures = PowerFailures(result, sent.computers);
    for (const auto& failure : failures) {
        for (const auto& line : failure.output) ctx_.console.Log(failure.computer + " : " + line);
    }
    if (sent.action == PowerAction::TestAccess) {
        const std::string report = AccessReport(result, sent.computers, sent.overSsh);
        ctx_.console.Log(report);
        ctx_.console.Status(report);
        caller.Tell(true, report, !failures.empty());
        return;
    }
    if (failures.empty()) {
        caller.Tell(true, sent.leftOut);
        return;
    }
    const std::string message = PowerFailureMessage(sent.action, failures);
    ctx_.console.Log(message);
    ctx_.console.Status(message);
    if (caller.Planned()) notifications_.Tell(PlanFailureNotice(message));
    caller.Tell(true, JoinedRefusals({sent.leftOut, message}), true);
}

// The list is read afresh: a shutdown never trusts an older copy.
bool PowerCommands::RefuseProtected(PowerAction action, const std::string& name,
                                    const Caller& caller) {
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
        Refuse(ActionStart(action) + ("« " + name + " » refusé : ") + error.what(), caller);
        return true;
    }
    if (!protectedName) return false;
    Refuse(ProtectedRefusal(name, *protectedName, ActionStart(action)), caller);
    return true;
}

// A refused command runs nothing; the user is told why, and by a
// notification when nobody clicked it.
void PowerCommands::Refuse(const std::string& refusal, const Caller& caller) {
    ctx_.console.Log(refusal);
    Warn(refusal, caller);
    if (caller.Planned()) notifications_.Tell(PlanFailureNotice(refusal));
    caller.Tell(false, refusal);
}

void PowerCommands::Warn(const std::string& text, const Caller& caller) {
    if (caller.origin == CommandOrigin::Network) {
        ctx_.console.Status(text);
    } else {
        ctx_.view.Warn(text);
    }
}

}  // namespace korvane
