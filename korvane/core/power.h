// The power commands outside their window: the one-line scripts that wake an
// entry (wolcmd) and shut it down (the Windows shutdown command, Samba's
// net rpc shutdown on POSIX), in their Windows form, exactly as the batch
// files are written there, and their POSIX form; and the checks that keep
// unsafe names, addresses and hardware addresses out of them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "korvane/core/polling.h"
#include "korvane/core/shutdownsettings.h"
#include "tools.h"
#include "utils.h"

namespace korvane {

using toolkit::Os;
using toolkit::ToolPaths;

// A wake-up goes to the subnet of a /24 unless the address lies on a local
// network, whose own mask then holds (WakeMask).
inline constexpr const char* kWakeMask = "255.255.255.0";
// Where the packet goes when the entry has no address.
inline constexpr const char* kLimitedBroadcast = "255.255.255.255";
// Samba's authentication file (username =, password =, domain = lines), in
// the program folder: the password never appears on a command line.
inline constexpr const char* kShutdownAuthFile = "shutdown.auth";
// Five minutes after a command its follow-up checks whether it took effect.
inline constexpr int kFollowUpDelay = 300000;

// What a command does: wake, shut down, restart, or only ask the computer
// something harmless that needs the shutdown's account and service ("Tester
// l'accès").
enum class PowerAction { WakeUp, Shutdown, Restart, TestAccess };

// A power command ready to be written and started, or why it is refused.
struct PowerCommand {
    std::string refusal;      // French, names the entry; empty when the command may run
    std::string scriptPath;   // in the program folder
    std::string commandLine;  // the script's only line
    std::string scriptText;   // that line and its line end
    bool overSsh = false;     // through ssh (a Linux computer), not Samba / Windows
    bool Refused() const { return !refusal.empty(); }
};

// "wolcmd MAC IP MASK"; on POSIX the program folder's wolcmd.
std::string WakeCommandLine(Os os, const ToolPaths& paths, std::string_view mac,
                            std::string_view ip, std::string_view mask = kWakeMask);

// The mask of the local network (from the local address table: addresses and
// masks, row by row) that holds `ip`, so that the packet reaches the whole
// LAN however wide it is; kWakeMask when none does (or for loopback's).
std::string WakeMask(std::string_view ip, const TextList& localAddresses,
                     const TextList& localMasks);
// "shutdown -s -f -t 30 -m \\IP"; on POSIX
// "net rpc shutdown -f -t 30 -I IP -A <program folder>/shutdown.auth".
// Another delay replaces the 30; a comment adds -c "COMMENT" before -m (its
// "%" doubled for the batch file, the backslashes that end it doubled for
// the called program's argument rule) or -C 'COMMENT' before -I, one quoted
// word that the shell neither splits nor expands.
// A restart (`restart`) has -r in place of -s (Windows), -r before -f (POSIX).
std::string ShutdownCommandLine(Os os, const ToolPaths& paths, std::string_view ip,
                                const ShutdownSettings& settings = {}, bool restart = false);
// The harmless question of "Tester l'accès": the state of the remote registry
// service, through the same account, port and service manager as the
// shutdown: "sc \\IP query RemoteRegistry"; on POSIX "net rpc service status
// RemoteRegistry -I IP -A <program folder>/shutdown.auth".
std::string AccessCommandLine(Os os, const ToolPaths& paths, std::string_view ip);

// The script "powerup" + name for the entry's hardware address and address
// (255.255.255.255 when it has none), each without surrounding blanks.
// Refused when the name is not a valid entry name, the hardware address is
// missing (the notice of NoMacNotice) or does not parse, or the address is
// not a dotted IPv4 address.
PowerCommand PowerUpCommand(Os os, const ToolPaths& paths, std::string_view name,
                            std::string_view mac, std::string_view ip,
                            std::string_view mask = kWakeMask);
// The script "shutdn" + name for the entry's address (without surrounding
// blanks). Refused when the name is
// not a valid entry name or the address is missing or not a dotted address:
// the command would go nowhere, or somewhere nobody chose; and when the
// comment is one ShutdownCommentProblem refuses.
// Why a remote command may not go to `ip` (trimmed): none known, not a
// dotted address, or one that names no other computer (ScopeOfAddress:
// 0.0.0.0/8, loopback, multicast, 240.0.0.0/4 with the limited broadcast,
// the broadcast address of one of this computer's networks, or one of its
// own addresses, against its address table as it is now); names the action
// and the computer.
std::optional<std::string> RemoteAddressProblem(PowerAction action, std::string_view name,
                                                std::string_view ip);
// "powerup", "shutdn", "restart", "acces": the start of a script's name.
const char* ScriptPrefix(PowerAction action);
// The script of `action` on entry `name` in the program folder.
std::string PowerScriptPath(Os os, const ToolPaths& paths, PowerAction action,
                            std::string_view name);
// `action` is Shutdown (script "shutdn" + name), Restart ("restart" + name)
// or TestAccess ("acces" + name, the line of AccessCommandLine).
PowerCommand ShutdownCommand(Os os, const ToolPaths& paths, std::string_view name,
                             std::string_view ip, const ShutdownSettings& settings = {},
                             PowerAction action = PowerAction::Shutdown);

// The computers an entry's command acts on: the members of its group file
// when it lists several, else the entry alone, with its own look-ups (a
// group file of one line names the entry's computer, however it writes it).
TextList PowerTargets(std::string_view entry, const TextList& groupFile);

// The script of a command on an entry: one line per computer that could be
// given its command (each line as that computer's own command), the
// computers refused left out and named. When `report` is given, each line
// appends its tool's output and then the line "fin de la commande <its line
// number, from 1> : <exit status>" to the slot's result file, and the script ends by making the
// slot's marker writable again.
struct PowerScript {
    std::string refusal;               // nothing runs; names the entry or its computers
    std::vector<std::string> leftOut;  // refusals of computers left out of a group
    TextList computers;                // acted on, in line order
    std::string scriptPath;
    std::string scriptText;
    TextList commandLines;
    std::vector<bool> overSsh;  // for each computer acted on
    bool Refused() const { return !refusal.empty(); }
    bool UsesSsh() const;
    bool UsesSamba() const;
};
PowerScript ComposePowerScript(Os os, const ToolPaths& paths, PowerAction action,
                               std::string_view entry, const TextList& computers,
                               const std::vector<PowerCommand>& commands,
                               const std::optional<SlotFiles>& report);

// How a computer's command ended; a failure has the tool's reason: the
// NT_STATUS_ or WERR_ code it printed, else ssh's or sudo's known complaint
// (SshReason), else the Windows error code sc.exe or shutdown.exe ended with
// ("erreur Windows 1722 : " and the system's words), else its last line,
// else its exit status.
struct PowerFailure {
    std::string computer;
    std::string reason;
    TextList output;
    int status = 0;
};
// The start of a reason that is a Windows error code.
inline constexpr const char* kWindowsErrorStart = "erreur Windows ";
// The result file of a power script as it is read back: the tools' output
// and the end marks, console output (on Windows in the console's code page,
// or UTF-8). Throws FileError.
TextList LoadPowerResult(const std::string& path);
// Every computer whose end mark the result holds, in order, failed or not.
std::vector<PowerFailure> PowerOutcomes(const TextList& result, const TextList& computers);
// Those that failed.
std::vector<PowerFailure> PowerFailures(const TextList& result, const TextList& computers);
// "Réveil de « pc1 » en échec : reason." / "Arrêt de ..." / "Redémarrage de
// ...", one sentence per failure; a shutdown's or restart's is followed by the
// remedy of its reason, if it has one.
std::string PowerFailureMessage(PowerAction action, const std::vector<PowerFailure>& failures);
// What "Tester l'accès" found, one sentence per computer tested (`overSsh`
// parallel to `computers`): granted, refused with the reason and its remedy,
// or no answer when its end mark is missing.
std::string AccessReport(const TextList& result, const TextList& computers,
                         const std::vector<bool>& overSsh);

// How to mend a remote shutdown refused with `reason` (the NT_STATUS_ or
// WERR_ code Samba's tools print), in French, one or two sentences ending
// with "."; empty for a reason without a known remedy:
//   NT_STATUS_LOGON_FAILURE                     name or password refused
//   WERR_ACCESS_DENIED, NT_STATUS_ACCESS_DENIED the account lacks the right
//   NT_STATUS_OBJECT_NAME_NOT_FOUND             the remote registry is stopped
//   NT_STATUS_CONNECTION_REFUSED, NT_STATUS_IO_TIMEOUT,
//   NT_STATUS_HOST_UNREACHABLE                  port 445 closed, or the computer off
// the Windows error codes of sc.exe and shutdown.exe (WindowsErrorRemedy),
// and the reasons of SshReason (sshpower.h), for `computer` (a changed host
// key names the name it is noted under).
std::string PowerFailureRemedy(std::string_view reason, std::string_view computer = {});
// The remedy of a reason "erreur Windows N...", in French; empty for a code
// without a known remedy:
//   1722, 1753  the computer off, or its firewall, or its "Server" service
//   5           the account lacks the right (UAC's remote restrictions)
//   1060        no RemoteRegistry service: not a Windows computer
//   53, 67      no file and printer sharing at that address
//   1326        name or password refused
//   1115, 1190  a shutdown already under way, or already scheduled
std::string WindowsErrorRemedy(std::string_view reason);
// "Réveil de ", "Arrêt de ", "Redémarrage de ", "Test de l'accès à ".
const char* ActionStart(PowerAction action);

// The command that leaves a file to its owner alone, as ssh wants its key:
// "chmod 600 'PATH'"; on Windows icacls, which drops the rules inherited from
// the folder and gives the user alone full access.
std::string PrivateFileRemedy(Os os, const std::string& path);

// "wake-on-lan : pas d'adresse MAC pour " + name.
std::string NoMacNotice(std::string_view name);
// The console log's line for a started command.
std::string LaunchedLine(std::string_view commandLine);

// Why the shutdown of `name` may not use the authentication file: missing,
// not a plain file, someone else's, or readable by others. The message says
// how to make it. nullopt when the file may be used, and always on Windows,
// whose shutdown command needs no file.
std::optional<std::string> ShutdownAuthProblem(Os os, const ToolPaths& paths, std::string_view name,
                                               PowerAction action = PowerAction::Shutdown);

}  // namespace korvane
