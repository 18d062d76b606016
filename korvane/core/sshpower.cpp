#include "korvane/core/sshpower.h"

#include <algorithm>
#include <sstream>

#include "korvane/core/names.h"
#include "platform/platform.h"

namespace korvane {

namespace {

using toolkit::DoublePercents;
using toolkit::ShellQuote;

constexpr std::size_t kMaxUser = 32;
constexpr std::size_t kMaxRemoteCommand = 200;

using toolkit::IsAsciiDigit;
using toolkit::IsAsciiLetter;
using toolkit::Quoted;

// ssh reads "%" in a file option as the start of a token: "%%" is one "%".
std::string SshPercents(std::string_view path) {
    std::string text;
    for (const char c : path) text += c == '%' ? std::string("%%") : std::string(1, c);
    return text;
}

// ssh splits an option's value at blanks unless it stands in double quotes.
std::string KnownHostsOption(Os os, const ToolPaths& paths) {
    const std::string path = SshPercents(paths.programDir + kKnownHostsFile);
    if (os == Os::Windows) {
        // cmd.exe takes each '"' as the start or the end of a quoted stretch,
        // where "&", "^", "|", "<" and ">" are letters; the C runtime of
        // ssh.exe reads '""' inside quotes as one '"' kept, staying inside.
        // So the path stands inside cmd.exe's quotes whole, and ssh gets the
        // one argument UserKnownHostsFile="PATH". "%" doubled for the batch file.
        return "\"UserKnownHostsFile=\"\"" + DoublePercents(path) + "\"\"\"";
    }
    return ShellQuote("UserKnownHostsFile=\"" + path + "\"");
}

std::string KeyPath(const ToolPaths& paths) {
    return paths.programDir + kSshKeyFile;
}

// Windows' own OpenSSH client by its full path: cmd.exe would run an
// ssh.bat or ssh.exe of the current folder first. %SystemRoot% is left for
// cmd.exe to expand.
constexpr const char* kWindowsSsh = "\"%SystemRoot%\\System32\\OpenSSH\\ssh.exe\"";

bool IsAliasCharacter(char c) {
    return (c >= 'a' && c <= 'z') || IsAsciiDigit(c) || c == '-';
}

PowerCommand Refused(std::string message) {
    PowerCommand command;
    command.refusal = std::move(message);
    command.overSsh = true;
    return command;
}

bool Holds(const TextList& output, std::string_view text) {
    return std::any_of(output.begin(), output.end(), [text](const std::string& line) {
        return line.find(text) != std::string::npos;
    });
}

}  // namespace

SshList ParseSshList(const TextList& lines) {
    SshList list;
    for (const auto& line : lines) {
        std::istringstream fields(toolkit::ListName(line));
        SshEntry entry;
        if (!(fields >> entry.name >> entry.user)) continue;
        for (std::string word; fields >> word;) {
            entry.command += (entry.command.empty() ? "" : " ") + word;
        }
        list.push_back(std::move(entry));
    }
    return list;
}

TextList SshListLines(const SshList& list) {
    TextList lines;
    for (const auto& entry : list) {
        lines.push_back(entry.name + " " + entry.user +
                        (entry.command.empty() ? "" : " " + entry.command));
    }
    return lines;
}

SshList LoadSshList(const std::string& programDir) {
    const std::string path = programDir + kSshListFile;
    // A folder in its place is refused by the reader, not taken for no list.
    if (!toolkit::platform::StatusOf(path)) return {};
    return ParseSshList(toolkit::LoadLines(path));
}

void SaveSshList(const std::string& programDir, const SshList& list) {
    toolkit::SaveLines(programDir + kSshListFile, SshListLines(list));
}

std::optional<SshEntry> FindSsh(const SshList& list, std::string_view name) {
    for (const auto& entry : list) {
        if (toolkit::EqualsIgnoreCase(entry.name, name)) return entry;
    }
    return std::nullopt;
}

SshList WithSsh(SshList list, std::string_view name, const std::optional<std::string>& user) {
    const auto found = std::find_if(list.begin(), list.end(), [name](const SshEntry& entry) {
        return toolkit::EqualsIgnoreCase(entry.name, name);
    });
    if (!user) {
        // Every line of the computer: a line left behind would keep it on SSH.
        std::erase_if(list, [name](const SshEntry& entry) {
            return toolkit::EqualsIgnoreCase(entry.name, name);
        });
        return list;
    }
    if (found != list.end()) {
        found->user = *user;
    } else {
        list.push_back({std::string(name), *user, ""});
    }
    return list;
}

bool IsValidSshUser(std::string_view user) {
    if (user.empty() || user.size() > kMaxUser) return false;
    if (!IsAsciiLetter(user[0]) && user[0] != '_') return false;
    return std::all_of(user.begin(), user.end(), [](char c) {
        return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_' || c == '-' || c == '.';
    });
}

std::optional<std::string> SshUserProblem(std::string_view user) {
    if (IsValidSshUser(user)) return std::nullopt;
    return "Nom d'utilisateur SSH " + Quoted(user) +
           " refusé : 1 à 32 caractères, une lettre ou « _ » d'abord, puis des lettres sans "
           "accent, des chiffres, « _ », « - » ou « . ».";
}

bool IsValidRemoteCommand(std::string_view command) {
    if (command.empty() || command.size() > kMaxRemoteCommand) return false;
    if (command.front() == '-' || command.front() == ' ' || command.back() == ' ') return false;
    return std::all_of(command.begin(), command.end(), [](char c) {
        return IsAsciiLetter(c) || IsAsciiDigit(c) ||
               std::string_view(" _-./:=,+@").find(c) != std::string_view::npos;
    });
}

std::string SshHostKeyAlias(std::string_view computer) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string alias = kSshHostKeyAliasPrefix;
    for (const char c : toolkit::AsciiLower(computer)) {
        if (IsAliasCharacter(c)) {
            alias += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            alias += {'_', kHex[byte >> 4], kHex[byte & 0x0F]};
        }
    }
    return alias;
}

std::string SshCommandLine(Os os, const ToolPaths& paths, std::string_view user,
                           std::string_view ip, std::string_view remoteCommand,
                           std::string_view computer) {
    const std::string keyPath = SshPercents(KeyPath(paths));
    const bool windows = os == Os::Windows;
    const std::string key = windows ? "\"" + DoublePercents(keyPath) + "\"" : ShellQuote(keyPath);
    const std::string command =
        windows ? "\"" + std::string(remoteCommand) + "\"" : ShellQuote(remoteCommand);
    // "--" ends ssh's options: nothing after the address is read as one. The
    // key is checked under the computer's name only (no CheckHostIP, which
    // older clients do by default): the address is not who the computer is.
    return std::string(windows ? kWindowsSsh : "ssh") +
           " -o BatchMode=yes -o StrictHostKeyChecking=accept-new -o " +
           KnownHostsOption(os, paths) + " -o HostKeyAlias=" + SshHostKeyAlias(computer) +
           " -o CheckHostIP=no" +
           " -o IdentitiesOnly=yes -o ConnectTimeout=" + std::to_string(kSshConnectTimeout) +
           " -i " + key + " -l " + std::string(user) + " -- " + std::string(ip) + " " + command;
}

PowerCommand SshCommand(Os os, const ToolPaths& paths, PowerAction action, std::string_view name,
                        std::string_view ipText, const SshEntry& entry) {
    const std::string ip = toolkit::Trim(ipText);
    const std::string start = ActionStart(action) + Quoted(name) + " refusé : ";
    if (!IsValidEntryName(name)) {
        return Refused(start +
                       "ce nom ne peut entrer dans un nom de fichier ni dans une commande (" +
                       EntryNameRule(name) + ").");
    }
    if (const auto problem = SshUserProblem(entry.user)) {
        return Refused(start + "liste.ssh : " + *problem);
    }
    const std::string remote = action == PowerAction::Restart      ? kSshReboot
                               : action == PowerAction::TestAccess ? kSshProbe
                               : entry.command.empty()             ? kSshPoweroff
                                                                   : entry.command;
    if (remote.starts_with("-")) {
        return Refused(start + "la commande " + Quoted(remote) +
                       " de liste.ssh commence par « - » : ce serait une option de ssh, pas une "
                       "commande. Écrivez la commande elle-même (par exemple " +
                       kSshPoweroff + ").");
    }
    if (!IsValidRemoteCommand(remote)) {
        return Refused(start + "la commande " + Quoted(remote) +
                       " de liste.ssh ne peut contenir que des lettres sans accent, des chiffres, "
                       "des espaces et « _-./:=,+@ ».");
    }
    if (const auto problem = RemoteAddressProblem(action, name, ip)) return Refused(*problem);
    PowerCommand command;
    command.scriptPath = PowerScriptPath(os, paths, action, name);
    command.commandLine = SshCommandLine(os, paths, entry.user, ip, remote, name);
    command.scriptText = command.commandLine + (os == Os::Windows ? "\r\n" : "\n");
    command.overSsh = true;
    return command;
}

PowerCommand RemoteCommand(Os os, const ToolPaths& paths, PowerAction action, std::string_view name,
                           std::string_view ip, const ShutdownSettings& settings,
                           const std::optional<SshEntry>& ssh) {
    if (ssh) return SshCommand(os, paths, action, name, ip, *ssh);
    return ShutdownCommand(os, paths, name, ip, settings, action);
}

std::optional<std::string> SshKeyProblem(Os os, const ToolPaths& paths, std::string_view name,
                                         PowerAction action) {
    const std::string path = KeyPath(paths);
    const std::string start =
        ActionStart(action) + Quoted(name) + " refusé : la clé SSH " + Quoted(path);
    const auto status = toolkit::platform::StatusOf(path);
    if (!status) {
        return start +
               " est absente. Créez-la par « Ordinateurs > Créer la clé SSH », puis copiez "
               "sa moitié publique dans ~/.ssh/authorized_keys du compte de liste.ssh sur "
               "l'ordinateur.";
    }
    if (!status->regular) return start + " n'est pas un fichier ordinaire.";
    if (!status->privateToOwner) {
        return start + " est accessible à d'autres comptes que le vôtre ; ssh la refuse : " +
               PrivateFileRemedy(os, path);
    }
    return std::nullopt;
}

std::string SshKeygenCommandLine(Os os, const ToolPaths& paths) {
    if (os == Os::Windows) {
        return "ssh-keygen -q -t ed25519 -N \"\" -C korvane -f " + toolkit::CmdPath(KeyPath(paths));
    }
    return "ssh-keygen -q -t ed25519 -N '' -C korvane -f " + ShellQuote(KeyPath(paths)) +
           " </dev/null";
}

// The most telling complaint first: a changed key also ends with "Host key
// verification failed".
std::string SshReason(const TextList& output) {
    static constexpr std::pair<const char*, const char*> kComplaints[] = {
        {"REMOTE HOST IDENTIFICATION HAS CHANGED", kSshHostKeyChanged},
        {"Host key verification failed", kSshHostKeyFailed},
        {"UNPROTECTED PRIVATE KEY FILE", kSshKeyUnprotected},
        {"Permission denied (publickey", kSshKeyRefused},
        {"sudo: a password is required", kSshSudoPassword},
        {"sudo: a terminal is required", kSshSudoPassword},
        {"sudo: no tty present", kSshSudoPassword},
        {"is not in the sudoers file", kSshSudoRefused},
        {"is not allowed to execute", kSshSudoRefused},
        {"port 22: Connection refused", kSshRefused},
        {"port 22: Connection timed out", kSshTimedOut},
        {"port 22: No route to host", kSshNoRoute},
    };
    for (const auto& [complaint, reason] : kComplaints) {
        if (Holds(output, complaint)) return reason;
    }
    return {};
}

std::string SshRemedy(std::string_view reason, std::string_view computer) {
    const std::string alias =
        computer.empty() ? std::string(kSshHostKeyAliasPrefix) + "NOM" : SshHostKeyAlias(computer);
    const std::string hostKey =
        "La clé d'hôte SSH de cet ordinateur n'est plus celle que Korvane a notée pour lui dans "
        "son fichier known_hosts : la commande est refusée, car un autre appareil pourrait se "
        "faire passer pour lui, à son adresse ou à celle que liste.ip lui donne maintenant. S'il "
        "a été réinstallé, retirez l'ancienne clé (ssh-keygen -R " +
        alias +
        " -f known_hosts, dans le dossier de Korvane) ; la nouvelle sera notée à la connexion "
        "suivante.";
    static constexpr const char* kKey =
        "Le compte de liste.ssh refuse la clé de Korvane : copiez sa moitié publique "
        "(« Ordinateurs > Créer la clé SSH ») dans ~/.ssh/authorized_keys de ce compte sur "
        "l'ordinateur.";
    static constexpr const char* kSudo =
        "sudo demande un mot de passe : sur l'ordinateur, permettez à ce compte l'arrêt sans mot "
        "de passe par une règle sudoers (visudo -f /etc/sudoers.d/korvane) : COMPTE ALL=(root) "
        "NOPASSWD: /usr/bin/systemctl poweroff, /usr/bin/systemctl reboot";
    static constexpr const char* kRefused =
        "Le serveur SSH (sshd) de cet ordinateur ne tourne pas, ou n'écoute pas sur le port 22 : "
        "installez et démarrez openssh-server.";
    static constexpr const char* kSilent =
        "L'ordinateur est éteint ou injoignable, ou son pare-feu bloque le port 22 (SSH).";
    static constexpr const char* kUnprotected =
        "La clé de Korvane (korvane_ssh) est lisible par d'autres comptes et ssh la refuse : "
        "chmod 600 korvane_ssh, dans le dossier de Korvane.";
    if (reason == kSshHostKeyChanged || reason == kSshHostKeyFailed) return hostKey;
    static constexpr std::pair<std::string_view, const char*> kRemedies[] = {
        {kSshKeyRefused, kKey},
        {kSshSudoPassword, kSudo},
        {kSshSudoRefused, kSudo},
        {kSshRefused, kRefused},
        {kSshTimedOut, kSilent},
        {kSshNoRoute, kSilent},
        {kSshKeyUnprotected, kUnprotected},
    };
    for (const auto& [known, remedy] : kRemedies) {
        if (reason == known) return remedy;
    }
    return {};
}

}  // namespace korvane
