// Shutting Linux computers down over SSH: the entries set so in liste.ssh,
// the ssh command line of a shutdown, a restart or an access test, the key
// Korvane logs in with, and what ssh's and sudo's complaints mean.
//
// liste.ssh, in the program folder, one line per computer shut down over SSH:
//     NAME USER [COMMAND...]
// NAME as the entry or group member is named (letter case ignored), USER the
// account Korvane logs in as, COMMAND what a shutdown runs there (by default
// "sudo -n systemctl poweroff"; never starting with "-"). A restart runs
// "sudo -n systemctl reboot", an access test "true". The computer's host key
// is noted in the program folder's known_hosts at the first connection,
// under a name made from the computer's (SshHostKeyAlias), not under its
// address: when liste.ip gives it another address, the key noted still
// holds, and a different key, at any address, refuses every command.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "korvane/core/power.h"

namespace korvane {

inline constexpr const char* kSshListFile = "liste.ssh";
inline constexpr const char* kSshKeyFile = "korvane_ssh";
inline constexpr const char* kKnownHostsFile = "known_hosts";
inline constexpr const char* kSshPoweroff = "sudo -n systemctl poweroff";
inline constexpr const char* kSshReboot = "sudo -n systemctl reboot";
inline constexpr const char* kSshProbe = "true";
// The start of the name a computer's host key is noted under.
inline constexpr const char* kSshHostKeyAliasPrefix = "korvane-";
// A computer that does not answer is given up after this many seconds.
inline constexpr int kSshConnectTimeout = 15;

// The canonical reasons SshReason gives, each with its remedy.
inline constexpr const char* kSshHostKeyChanged = "REMOTE HOST IDENTIFICATION HAS CHANGED";
inline constexpr const char* kSshHostKeyFailed = "Host key verification failed";
inline constexpr const char* kSshKeyRefused = "Permission denied (publickey)";
inline constexpr const char* kSshSudoPassword = "sudo: a password is required";
inline constexpr const char* kSshSudoRefused = "sudo: not allowed";
inline constexpr const char* kSshRefused = "Connection refused";
inline constexpr const char* kSshTimedOut = "Connection timed out";
inline constexpr const char* kSshNoRoute = "No route to host";
inline constexpr const char* kSshKeyUnprotected = "UNPROTECTED PRIVATE KEY FILE";

struct SshEntry {
    std::string name;
    std::string user;
    std::string command;  // empty: kSshPoweroff
};
using SshList = std::vector<SshEntry>;

// The lines as the list readers give them: trimmed (ListName), fields split
// at runs of blanks; a line with fewer than two fields is left out.
SshList ParseSshList(const TextList& lines);
TextList SshListLines(const SshList& list);
// The program folder's liste.ssh; empty when there is none. Throws FileError.
SshList LoadSshList(const std::string& programDir);
// Replaced atomically. Throws FileError.
void SaveSshList(const std::string& programDir, const SshList& list);
std::optional<SshEntry> FindSsh(const SshList& list, std::string_view name);
// The list with `name` set to `user` (its command kept), or taken off (nullopt).
SshList WithSsh(SshList list, std::string_view name, const std::optional<std::string>& user);

// A user name of 1 to 32 characters: a letter or "_", then letters, digits,
// "_", "-", "." (never an option, never a word the shell treats apart).
bool IsValidSshUser(std::string_view user);
// Why a user name is refused, in French; nullopt when it is valid.
std::optional<std::string> SshUserProblem(std::string_view user);
// A remote command of letters, digits, blanks and "_-./:=,+@" only, up to 200
// characters, not starting with "-" (ssh would take it for an option) nor
// starting or ending with a blank: it reaches the computer's shell, and a
// batch file on Windows.
bool IsValidRemoteCommand(std::string_view command);

// The name `computer`'s host key is noted under in known_hosts: "korvane-"
// and the name in lower case (as the lists compare names), each byte but
// "a-z", "0-9" and "-" written "_" and two hexadecimal digits. Two computers
// never share one, and none holds a blank, a quote, a "%" or a pattern
// character of known_hosts.
std::string SshHostKeyAlias(std::string_view computer);

// ssh -o BatchMode=yes -o StrictHostKeyChecking=accept-new
//     -o UserKnownHostsFile="<program folder>/known_hosts"
//     -o HostKeyAlias=<SshHostKeyAlias(computer)> -o CheckHostIP=no -o IdentitiesOnly=yes
//     -o ConnectTimeout=15 -i <program folder>/korvane_ssh -l USER -- IP 'COMMAND'
// "--" before the address, so that nothing after it is taken for an option.
// On Windows, ssh by its full path ("%SystemRoot%\System32\OpenSSH\ssh.exe"),
// each path inside cmd.exe's double quotes whole, the command in double
// quotes. Never a password: the key only.
std::string SshCommandLine(Os os, const ToolPaths& paths, std::string_view user,
                           std::string_view ip, std::string_view remoteCommand,
                           std::string_view computer);
// The command of `action` (Shutdown: the entry's command or kSshPoweroff;
// Restart: kSshReboot; TestAccess: kSshProbe) for `name` at `ip`, or why it
// is refused: a bad name, user, command or address.
PowerCommand SshCommand(Os os, const ToolPaths& paths, PowerAction action, std::string_view name,
                        std::string_view ip, const SshEntry& entry);
// The command of `action` for a computer: over SSH when liste.ssh holds it,
// else Samba's (Windows' shutdown / sc).
PowerCommand RemoteCommand(Os os, const ToolPaths& paths, PowerAction action, std::string_view name,
                           std::string_view ip, const ShutdownSettings& settings,
                           const std::optional<SshEntry>& ssh);

// Why the key cannot be used: missing (with how to make it), or readable by
// other accounts (POSIX). nullopt when it may be used.
std::optional<std::string> SshKeyProblem(Os os, const ToolPaths& paths, std::string_view name,
                                         PowerAction action);
// ssh-keygen -q -t ed25519 -N '' -C korvane -f <program folder>/korvane_ssh
std::string SshKeygenCommandLine(Os os, const ToolPaths& paths);

// The canonical reason of ssh's or sudo's complaint in a command's output
// (the constants above), or empty when it holds none.
std::string SshReason(const TextList& output);
// The remedy of such a reason for `computer`, in French; empty for any other.
std::string SshRemedy(std::string_view reason, std::string_view computer = {});

}  // namespace korvane
