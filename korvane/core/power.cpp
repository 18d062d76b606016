#include "korvane/core/power.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "korvane/core/followup.h"
#include "korvane/core/names.h"
#include "korvane/core/sshpower.h"
#include "platform/platform.h"
#include "reseau.h"
#include "wakeonlan.h"

namespace korvane {

namespace {

using toolkit::BatchPath;
using toolkit::DoublePercents;
using toolkit::ShellQuote;

using toolkit::Quoted;

std::string LineEnd(Os os) {
    return os == Os::Windows ? "\r\n" : "\n";
}

std::string ScriptPath(Os os, const ToolPaths& paths, std::string_view prefix,
                       std::string_view name) {
    return paths.programDir + std::string(prefix) + std::string(name) +
           (os == Os::Windows ? ".bat" : ".sh");
}

// The C runtime of the called program reads backslashes before a closing
// quote as escapes: "C:\Partage\" would swallow the quote and the switches
// after it. Doubled, they stay backslashes and the quote ends the argument.
// Elsewhere in the argument (quotes are refused there) they are literal.
std::string DoubleTrailingBackslashes(std::string_view text) {
    const std::size_t kept = text.find_last_not_of('\\') + 1;  // npos + 1 == 0
    return std::string(text) + std::string(text.size() - kept, '\\');
}

PowerCommand Refusal(std::string message) {
    PowerCommand command;
    command.refusal = std::move(message);
    return command;
}

PowerCommand Ready(Os os, std::string scriptPath, std::string commandLine) {
    PowerCommand command;
    command.scriptPath = std::move(scriptPath);
    command.scriptText = commandLine + LineEnd(os);
    command.commandLine = std::move(commandLine);
    return command;
}

std::string BadNameRefusal(std::string_view what, std::string_view name) {
    return std::string(what) + Quoted(name) +
           " refusé : ce nom ne peut entrer dans un nom de fichier ni dans une commande (" +
           EntryNameRule(name) + ").";
}

std::string AuthHowTo(const std::string& path) {
    return "\n\nCréez-le au format de Samba, une valeur par ligne :\n"
           "    username = COMPTE\n"
           "    password = MOT_DE_PASSE\n"
           "    domain = DOMAINE\n"
           "puis réservez-le à votre compte :\n"
           "    chmod 600 " +
           ShellQuote(path);
}

}  // namespace

std::string WakeCommandLine(Os os, const ToolPaths& paths, std::string_view mac,
                            std::string_view ip, std::string_view mask) {
    const std::string program = os == Os::Windows ? toolkit::BatchProgram(paths, "wolcmd.exe")
                                                  : ShellQuote(paths.programDir + "wolcmd");
    return program + " " + std::string(mac) + " " + std::string(ip) + " " + std::string(mask);
}

std::string WakeMask(std::string_view ip, const TextList& localAddresses,
                     const TextList& localMasks) {
    if (!toolkit::IsDottedIPv4(ip)) return kWakeMask;
    for (std::size_t i = 0; i < localAddresses.size() && i < localMasks.size(); ++i) {
        const std::string& address = localAddresses[i];
        const std::string& mask = localMasks[i];
        if (!toolkit::IsDottedIPv4(address) || !toolkit::IsDottedIPv4(mask)) continue;
        if (address.starts_with("127.") || mask == "255.255.255.255") continue;
        if (toolkit::NetworkAddress(ip, mask) == toolkit::NetworkAddress(address, mask))
            return mask;
    }
    return kWakeMask;
}

std::string ShutdownCommandLine(Os os, const ToolPaths& paths, std::string_view ip,
                                const ShutdownSettings& settings, bool restart) {
    const std::string delay = std::to_string(settings.delay);
    if (os == Os::Windows) {
        const std::string comment =
            settings.comment.empty()
                ? ""
                : " -c \"" + DoubleTrailingBackslashes(DoublePercents(settings.comment)) + "\"";
        return toolkit::WindowsSystemTool("shutdown.exe") + (restart ? " -r" : " -s") + " -f -t " +
               delay + comment + " -m \\\\" + std::string(ip);
    }
    const std::string comment =
        settings.comment.empty() ? "" : " -C " + ShellQuote(settings.comment);
    return std::string(restart ? "net rpc shutdown -r" : "net rpc shutdown") + " -f -t " + delay +
           comment + " -I " + std::string(ip) + " -A " +
           ShellQuote(paths.programDir + kShutdownAuthFile);
}

std::string AccessCommandLine(Os os, const ToolPaths& paths, std::string_view ip) {
    if (os == Os::Windows) {
        return toolkit::WindowsSystemTool("sc.exe") + " \\\\" + std::string(ip) +
               " query RemoteRegistry";
    }
    return "net rpc service status RemoteRegistry -I " + std::string(ip) + " -A " +
           ShellQuote(paths.programDir + kShutdownAuthFile);
}

// The hardware address and the address go into the line as the lists hold
// them, once they are known to be harmless there.
PowerCommand PowerUpCommand(Os os, const ToolPaths& paths, std::string_view name,
                            std::string_view macText, std::string_view ipText,
                            std::string_view mask) {
    // The lists may carry blanks after a value, as the poll allows.
    const std::string mac = toolkit::Trim(macText);
    const std::string ip = toolkit::Trim(ipText);
    if (!IsValidEntryName(name)) return Refusal(BadNameRefusal("Réveil de ", name));
    if (mac.empty()) return Refusal(NoMacNotice(name));
    if (!toolkit::ParseMac(mac)) {
        return Refusal("Réveil de " + Quoted(name) + " refusé : adresse MAC invalide " +
                       Quoted(mac) + ".");
    }
    const std::string_view address = ip.empty() ? std::string_view(kLimitedBroadcast) : ip;
    if (!toolkit::IsDottedIPv4(address)) {
        return Refusal("Réveil de " + Quoted(name) + " refusé : adresse IP invalide " +
                       Quoted(address) + ".");
    }
    return Ready(os, ScriptPath(os, paths, "powerup", name),
                 WakeCommandLine(os, paths, mac, address, mask));
}

PowerCommand ShutdownCommand(Os os, const ToolPaths& paths, std::string_view name,
                             std::string_view ipText, const ShutdownSettings& settings,
                             PowerAction action) {
    const std::string ip = toolkit::Trim(ipText);
    const std::string start = ActionStart(action);
    if (!IsValidEntryName(name)) return Refusal(BadNameRefusal(start, name));
    if (action != PowerAction::TestAccess) {
        if (const auto problem = ShutdownCommentProblem(os, settings.comment)) {
            return Refusal(start + Quoted(name) + " refusé. " + *problem);
        }
    }
    if (const auto problem = RemoteAddressProblem(action, name, ip)) return Refusal(*problem);
    const std::string line =
        action == PowerAction::TestAccess
            ? AccessCommandLine(os, paths, ip)
            : ShutdownCommandLine(os, paths, ip, settings, action == PowerAction::Restart);
    return Ready(os, ScriptPath(os, paths, ScriptPrefix(action), name), line);
}

std::optional<std::string> RemoteAddressProblem(PowerAction action, std::string_view name,
                                                std::string_view ip) {
    const std::string start = ActionStart(action) + Quoted(name);
    if (ip.empty()) {
        return start + " refusé : aucune adresse IP connue pour cette entrée (liste.ip).";
    }
    const auto scope = toolkit::ScopeOfAddress(ip);
    if (!scope) return start + " refusé : adresse IP invalide " + Quoted(ip) + ".";
    const std::string address = start + " refusé : l'adresse " + Quoted(ip) + " (liste.ip) ";
    switch (*scope) {
        case toolkit::AddressScope::Computer:
            return std::nullopt;
        case toolkit::AddressScope::ThisNetwork:
            return address + "ne désigne aucun ordinateur (0.0.0.0/8).";
        case toolkit::AddressScope::Loopback:
            return address + "désigne cet ordinateur-ci (boucle locale 127.0.0.0/8), pas " +
                   Quoted(name) + ".";
        case toolkit::AddressScope::Own:
            return address + "est celle de cet ordinateur-ci, pas celle de " + Quoted(name) + ".";
        case toolkit::AddressScope::Multicast:
            return address +
                   "est une adresse de multidiffusion (224.0.0.0/4) : elle ne désigne "
                   "pas un ordinateur.";
        case toolkit::AddressScope::Reserved:
            return address +
                   "est une adresse réservée (240.0.0.0/4, 255.255.255.255 comprise) : "
                   "elle ne désigne pas un ordinateur.";
        case toolkit::AddressScope::Broadcast:
            return address +
                   "est l'adresse de diffusion d'un réseau local : la commande irait à "
                   "tous ses ordinateurs.";
    }
    return std::nullopt;
}

const char* ScriptPrefix(PowerAction action) {
    switch (action) {
        case PowerAction::WakeUp:
            return "powerup";
        case PowerAction::Shutdown:
            return "shutdn";
        case PowerAction::Restart:
            return "restart";
        case PowerAction::TestAccess:
            break;
    }
    return "acces";
}

std::string PowerScriptPath(Os os, const ToolPaths& paths, PowerAction action,
                            std::string_view name) {
    return ScriptPath(os, paths, ScriptPrefix(action), name);
}

TextList PowerTargets(std::string_view entry, const TextList& groupFile) {
    TextList members = GroupMembers(groupFile);
    if (members.size() < 2) return {std::string(entry)};
    return members;
}

const char* ActionStart(PowerAction action) {
    switch (action) {
        case PowerAction::WakeUp:
            return "Réveil de ";
        case PowerAction::Shutdown:
            return "Arrêt de ";
        case PowerAction::Restart:
            return "Redémarrage de ";
        case PowerAction::TestAccess:
            break;
    }
    return "Test de l'accès à ";
}

bool PowerScript::UsesSsh() const {
    return std::find(overSsh.begin(), overSsh.end(), true) != overSsh.end();
}

bool PowerScript::UsesSamba() const {
    return std::find(overSsh.begin(), overSsh.end(), false) != overSsh.end();
}

namespace {

// The end mark of the script's line `position` (from 1). ASCII only: cmd.exe
// writes its echo in the console's code page, in which an accented
// computer's name would come back as other characters than those looked for.
std::string EndMark(std::size_t position) {
    return "fin de la commande " + std::to_string(position) + " : ";
}

// What a line adds so that its outcome can be read back: the tool's output,
// then the end mark with its exit status.
std::string ReportedLine(Os os, const std::string& line, std::size_t position,
                         const SlotFiles& report) {
    if (os == Os::Windows) {
        const std::string result = BatchPath(report.result);
        return line + " >>" + result + " 2>&1\r\necho " + EndMark(position) + "%errorlevel% >>" +
               result;
    }
    const std::string result = ShellQuote(report.result);
    return line + " >>" + result + " 2>&1; echo " + ShellQuote(EndMark(position)) + "\"$?\" >>" +
           result;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

bool IsCodeCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Samba's tools end with the code of the failure, NT_STATUS_... or WERR_...
std::string StatusCode(const TextList& output) {
    std::string found;
    for (const auto& line : output) {
        for (const std::string_view prefix : {"NT_STATUS_", "WERR_"}) {
            for (std::size_t at = line.find(prefix); at != std::string::npos;
                 at = line.find(prefix, at + 1)) {
                std::size_t end = at;
                while (end < line.size() && IsCodeCharacter(line[end])) ++end;
                found = line.substr(at, end - at);
            }
        }
    }
    return found;
}

// shutdown.exe's message ends with its code: "...introuvable.(53)".
bool EndsWithCode(std::string_view line, const std::string& code) {
    return line.ends_with("(" + code + ")");
}

// sc.exe's line holds it as a number of its own: "FAILED 1722:".
bool HoldsCodeWord(std::string_view line, const std::string& code) {
    for (std::size_t at = line.find(code); at != std::string_view::npos;
         at = line.find(code, at + 1)) {
        const bool before = at == 0 || !toolkit::IsAsciiDigit(line[at - 1]);
        const std::size_t end = at + code.size();
        const bool after = end == line.size() || !toolkit::IsAsciiDigit(line[end]);
        if (before && after) return true;
    }
    return false;
}

// Windows' sc.exe and shutdown.exe end with the system's error code as their
// exit status, and say so: sc.exe on its line "[SC] OpenSCManager FAILED
// 1722:" ("a échoué" in French), shutdown.exe after its message, "...(53)".
// The status counts as such a code only when the output says it so: ssh's
// and wolcmd's statuses are not. The reason is "erreur Windows N", followed
// by the system's own words when it printed some.
std::string WindowsErrorReason(const TextList& output, int status) {
    if (status <= 0) return {};
    const std::string code = std::to_string(status);
    bool said = false;
    std::string words;
    for (const auto& raw : output) {
        std::string line = toolkit::Trim(ProbeFailureReason(raw));
        if (line.empty()) continue;
        if (line.starts_with("[SC]") && HoldsCodeWord(line, code)) {
            said = true;
            continue;
        }
        if (EndsWithCode(line, code)) {
            said = true;
            line = toolkit::Trim(std::string_view(line).substr(0, line.size() - code.size() - 2));
        }
        words = line;
    }
    if (!said) return {};
    while (!words.empty() && (words.back() == '.' || words.back() == ' ')) words.pop_back();
    return std::string(kWindowsErrorStart) + code + (words.empty() ? "" : " : " + words);
}

std::string ReasonOf(const TextList& output, int code) {
    std::string reason = StatusCode(output);
    if (reason.empty()) reason = SshReason(output);
    if (reason.empty()) reason = WindowsErrorReason(output, code);
    for (auto line = output.rbegin(); reason.empty() && line != output.rend(); ++line) {
        reason = ProbeFailureReason(*line);
    }
    return reason.empty() ? "code de sortie " + std::to_string(code) : reason;
}

std::optional<int> ExitStatus(std::string_view text) {
    const std::string trimmed = toolkit::Trim(text);
    int code = 0;
    const auto [end, error] =
        std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), code);
    if (error != std::errc() || end != trimmed.data() + trimmed.size() || trimmed.empty())
        return std::nullopt;
    return code;
}

}  // namespace

PowerScript ComposePowerScript(Os os, const ToolPaths& paths, PowerAction action,
                               std::string_view entry, const TextList& computers,
                               const std::vector<PowerCommand>& commands,
                               const std::optional<SlotFiles>& report) {
    PowerScript script;
    if (!IsValidEntryName(entry)) {
        script.refusal = BadNameRefusal(ActionStart(action), entry);
        return script;
    }
    for (std::size_t i = 0; i < computers.size() && i < commands.size(); ++i) {
        if (commands[i].Refused()) {
            script.leftOut.push_back(commands[i].refusal);
            continue;
        }
        script.computers.push_back(computers[i]);
        script.commandLines.push_back(commands[i].commandLine);
        script.overSsh.push_back(commands[i].overSsh);
    }
    if (script.computers.empty()) {
        const bool alone = computers.size() == 1 && computers[0] == entry;
        script.refusal = alone && !script.leftOut.empty()
                             ? script.leftOut[0]
                             : std::string(ActionStart(action)) + Quoted(entry) +
                                   " refusé : aucun de ses ordinateurs ne peut recevoir la "
                                   "commande.\n" +
                                   JoinLines(script.leftOut);
        script.leftOut.clear();
        return script;
    }
    script.scriptPath = PowerScriptPath(os, paths, action, entry);
    for (std::size_t i = 0; i < script.computers.size(); ++i) {
        const std::string& line = script.commandLines[i];
        script.scriptText += (report ? ReportedLine(os, line, i + 1, *report) : line) + LineEnd(os);
    }
    if (report) {
        script.scriptText += (os == Os::Windows ? toolkit::WindowsSystemTool("attrib.exe") +
                                                      " -R " + BatchPath(report->marker)
                                                : "chmod u+w " + ShellQuote(report->marker)) +
                             LineEnd(os);
    }
    return script;
}

std::vector<PowerFailure> PowerOutcomes(const TextList& result, const TextList& computers) {
    std::vector<PowerFailure> outcomes;
    std::size_t next = 0;
    TextList output;
    for (const auto& line : result) {
        if (next == computers.size()) break;
        const std::string mark = EndMark(next + 1);
        const std::size_t at = line.rfind(mark);
        const auto code = at == std::string::npos
                              ? std::nullopt
                              : ExitStatus(std::string_view(line).substr(at + mark.size()));
        if (!code) {
            output.push_back(line);
            continue;
        }
        if (at > 0) output.push_back(line.substr(0, at));  // output without a last line end
        outcomes.push_back(
            {computers[next], *code != 0 ? ReasonOf(output, *code) : "", output, *code});
        output.clear();
        ++next;
    }
    return outcomes;
}

std::vector<PowerFailure> PowerFailures(const TextList& result, const TextList& computers) {
    std::vector<PowerFailure> failures = PowerOutcomes(result, computers);
    std::erase_if(failures, [](const PowerFailure& outcome) { return outcome.status == 0; });
    return failures;
}

std::string AccessReport(const TextList& result, const TextList& computers,
                         const std::vector<bool>& overSsh) {
    const std::vector<PowerFailure> outcomes = PowerOutcomes(result, computers);
    std::string report;
    for (std::size_t i = 0; i < computers.size(); ++i) {
        const bool ssh = i < overSsh.size() && overSsh[i];
        std::string sentence = (ssh ? "Accès SSH à " : "Accès à ") + Quoted(computers[i]) + " : ";
        if (i >= outcomes.size()) {
            sentence += "sans réponse, le test ne s'est pas terminé.";
        } else if (outcomes[i].status == 0) {
            sentence += ssh ? "accordé, la clé de Korvane est acceptée ; l'arrêt passera si sudo "
                              "y permet systemctl sans mot de passe."
                            : "accordé, l'arrêt à distance devrait fonctionner.";
        } else {
            sentence += "refusé : " + outcomes[i].reason + ".";
            const std::string remedy = PowerFailureRemedy(outcomes[i].reason, computers[i]);
            if (!remedy.empty()) sentence += " " + remedy;
        }
        report += (report.empty() ? "" : " ") + sentence;
    }
    return report;
}

std::string PowerFailureMessage(PowerAction action, const std::vector<PowerFailure>& failures) {
    std::string message;
    for (const auto& failure : failures) {
        message += (message.empty() ? "" : " ") + std::string(ActionStart(action)) +
                   Quoted(failure.computer) + " en échec : " + failure.reason + ".";
        const std::string remedy = action != PowerAction::WakeUp
                                       ? PowerFailureRemedy(failure.reason, failure.computer)
                                       : "";
        if (!remedy.empty()) message += " " + remedy;
    }
    return message;
}

std::string PowerFailureRemedy(std::string_view reason, std::string_view computer) {
    static constexpr const char* kLogon =
        "Nom d'utilisateur ou mot de passe refusé : corrigez-les dans shutdown.auth. Un "
        "ordinateur Windows ouvert avec un compte Microsoft attend le nom de son compte local "
        "(celui de son dossier dans C:\\Users) et le mot de passe du compte Microsoft.";
    static constexpr const char* kAccess =
        "Le compte de shutdown.auth n'a pas le droit d'arrêter cet ordinateur : il doit être "
        "administrateur de cet ordinateur ; un compte local n'y garde ses droits "
        "d'administrateur à distance que si la valeur LocalAccountTokenFilterPolicy "
        "(HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System) vaut 1 ; "
        "il lui faut aussi le droit « Forcer l'arrêt à partir d'un système distant » "
        "(secpol.msc, Stratégies locales, Attribution des droits utilisateur).";
    static constexpr const char* kRegistry =
        "Le service « Registre à distance » de cet ordinateur est arrêté : démarrez-le "
        "(services.msc) et mettez son type de démarrage sur Automatique.";
    static constexpr const char* kPort =
        "Le port 445 de cet ordinateur est fermé (partage de fichiers et d'imprimantes "
        "désactivé, ou bloqué par son pare-feu), ou l'ordinateur est éteint.";
    static constexpr std::pair<std::string_view, const char*> kRemedies[] = {
        {"NT_STATUS_LOGON_FAILURE", kLogon},     {"WERR_ACCESS_DENIED", kAccess},
        {"NT_STATUS_ACCESS_DENIED", kAccess},    {"NT_STATUS_OBJECT_NAME_NOT_FOUND", kRegistry},
        {"NT_STATUS_CONNECTION_REFUSED", kPort}, {"NT_STATUS_IO_TIMEOUT", kPort},
        {"NT_STATUS_HOST_UNREACHABLE", kPort},
    };
    for (const auto& [code, remedy] : kRemedies) {
        if (reason == code) return remedy;
    }
    if (reason.starts_with(kWindowsErrorStart)) return WindowsErrorRemedy(reason);
    return SshRemedy(reason, computer);
}

// The codes sc.exe and shutdown.exe end with when the remote computer
// refuses or cannot be reached.
std::string WindowsErrorRemedy(std::string_view reason) {
    static constexpr const char* kUnreachable =
        "Cet ordinateur ne répond pas à l'administration à distance : il est éteint ou en "
        "veille, son pare-feu bloque le partage de fichiers et d'imprimantes (port 445) et "
        "l'appel de procédure distante (RPC), ou son service « Serveur » est arrêté.";
    static constexpr const char* kAccess =
        "Votre compte Windows n'a pas le droit d'agir sur cet ordinateur : il doit y être "
        "administrateur (un compte du domaine, ou un compte local de même nom et de même mot "
        "de passe sur les deux ordinateurs) ; un compte local n'y garde ses droits "
        "d'administrateur à distance que si la valeur LocalAccountTokenFilterPolicy "
        "(HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System) vaut 1 ; "
        "il lui faut aussi le droit « Forcer l'arrêt à partir d'un système distant » "
        "(secpol.msc, Stratégies locales, Attribution des droits utilisateur).";
    static constexpr const char* kNoService =
        "Cet ordinateur n'a pas de service « Registre à distance » (RemoteRegistry) : ce "
        "n'est sans doute pas un ordinateur Windows. Un ordinateur Linux s'arrête par SSH "
        "(case « Arrêt par SSH » de son dialogue).";
    static constexpr const char* kNoPath =
        "Aucun ordinateur n'accepte le partage de fichiers et d'imprimantes à cette adresse : "
        "l'adresse est fausse, l'ordinateur est éteint, ou ce partage y est désactivé ou bloqué "
        "par son pare-feu (port 445).";
    static constexpr const char* kLogon =
        "Nom d'utilisateur ou mot de passe refusé par cet ordinateur : votre compte Windows "
        "doit y exister avec le même mot de passe, ou enregistrez le compte d'un de ses "
        "administrateurs (cmdkey /add:ADRESSE /user:COMPTE /pass).";
    static constexpr const char* kStopping = "Cet ordinateur est déjà en train de s'arrêter.";
    static constexpr const char* kScheduled =
        "Un arrêt de cet ordinateur est déjà programmé : attendez-le, ou annulez-le "
        "(shutdown -a -m \\\\ADRESSE) avant d'en demander un autre.";
    static constexpr std::pair<int, const char*> kRemedies[] = {
        {1722, kUnreachable}, {1753, kUnreachable}, {5, kAccess},
        {1060, kNoService},   {53, kNoPath},        {67, kNoPath},
        {1326, kLogon},       {1115, kStopping},    {1190, kScheduled},
    };
    reason.remove_prefix(std::string_view(kWindowsErrorStart).size());
    int code = 0;
    const auto [end, error] = std::from_chars(reason.data(), reason.data() + reason.size(), code);
    if (error != std::errc() || (end != reason.data() + reason.size() && *end != ' ')) return {};
    for (const auto& [known, remedy] : kRemedies) {
        if (code == known) return remedy;
    }
    return {};
}

std::string PrivateFileRemedy(Os os, const std::string& path) {
    if (os == Os::Windows) {
        return "icacls \"" + path +
               "\" /inheritance:r /grant:r \"%USERNAME%:F\" (dans une invite de commandes)";
    }
    return "chmod 600 " + ShellQuote(path);
}

TextList LoadPowerResult(const std::string& path) {
    return toolkit::LoadOutputLines(path);
}

std::string NoMacNotice(std::string_view name) {
    return "wake-on-lan : pas d'adresse MAC pour " + std::string(name);
}

std::string LaunchedLine(std::string_view commandLine) {
    return "commande lancée : " + std::string(commandLine);
}

// The file holds a password: net reads it only when no one else can.
std::optional<std::string> ShutdownAuthProblem(Os os, const ToolPaths& paths, std::string_view name,
                                               PowerAction action) {
    if (os == Os::Windows) return std::nullopt;
    const std::string path = paths.programDir + kShutdownAuthFile;
    const auto status = toolkit::platform::StatusOf(path);
    const std::string start = ActionStart(action) + Quoted(name) +
                              " refusé : le fichier d'identification " + Quoted(path);
    if (!status) return start + " est absent." + AuthHowTo(path);
    if (!status->regular) return start + " n'est pas un fichier ordinaire." + AuthHowTo(path);
    if (!status->ownedByUs) return start + " n'appartient pas à votre compte." + AuthHowTo(path);
    if (!status->ownerMayRead) {
        return start + " ne peut pas être lu par votre compte." + AuthHowTo(path);
    }
    if (!status->privateToOwner) {
        return start +
               " est accessible à d'autres comptes que le vôtre : son mot de passe ne "
               "serait plus secret." +
               AuthHowTo(path);
    }
    return std::nullopt;
}

}  // namespace korvane
