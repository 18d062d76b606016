#include "power.h"

#include "names.h"
#include "platform/platform.h"
#include "reseau.h"
#include "wakeonlan.h"

namespace korvane {

namespace {

using toolkit::ShellQuote;

std::string Quoted(std::string_view text) {
    return "« " + std::string(text) + " »";
}

std::string LineEnd(Os os) {
    return os == Os::Windows ? "\r\n" : "\n";
}

std::string ScriptPath(Os os, const ToolPaths& paths, std::string_view prefix,
                       std::string_view name) {
    return paths.programDir + std::string(prefix) + std::string(name) +
           (os == Os::Windows ? ".bat" : ".sh");
}

// A batch file reads "%%" as one "%"; a lone one would start a variable.
std::string DoublePercents(std::string_view text) {
    std::string doubled;
    for (const char c : text) {
        doubled += c;
        if (c == '%') doubled += '%';
    }
    return doubled;
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
           " refusé : ce nom ne peut entrer dans un nom de fichier ni dans une commande "
           "(lettres, chiffres, « . », « - » et « _ » seulement).";
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
                            std::string_view ip) {
    const std::string program =
        os == Os::Windows ? "wolcmd" : ShellQuote(paths.programDir + "wolcmd");
    return program + " " + std::string(mac) + " " + std::string(ip) + " " + kWakeMask;
}

std::string ShutdownCommandLine(Os os, const ToolPaths& paths, std::string_view ip,
                                const ShutdownSettings& settings) {
    const std::string delay = std::to_string(settings.delay);
    if (os == Os::Windows) {
        const std::string comment =
            settings.comment.empty() ? "" : " -c \"" + DoublePercents(settings.comment) + "\"";
        return "shutdown -s -f -t " + delay + comment + " -m \\\\" + std::string(ip);
    }
    const std::string comment =
        settings.comment.empty() ? "" : " -C " + ShellQuote(settings.comment);
    return "net rpc shutdown -f -t " + delay + comment + " -I " + std::string(ip) + " -A " +
           ShellQuote(paths.programDir + kShutdownAuthFile);
}

// The hardware address and the address go into the line as the lists hold
// them, once they are known to be harmless there.
PowerCommand PowerUpCommand(Os os, const ToolPaths& paths, std::string_view name,
                            std::string_view mac, std::string_view ip) {
    if (!IsValidEntryName(name)) return Refusal(BadNameRefusal("Réveil de ", name));
    if (mac.empty()) return Refusal(NoMacNotice(name));
    if (!toolkit::ParseMac(mac)) {
        return Refusal("Réveil de " + Quoted(name) + " refusé : adresse MAC invalide " +
                       Quoted(mac) + ".");
    }
    const std::string_view address = ip.empty() ? kLimitedBroadcast : ip;
    if (!toolkit::IsDottedIPv4(address)) {
        return Refusal("Réveil de " + Quoted(name) + " refusé : adresse IP invalide " +
                       Quoted(address) + ".");
    }
    return Ready(os, ScriptPath(os, paths, "powerup", name),
                 WakeCommandLine(os, paths, mac, address));
}

PowerCommand ShutdownCommand(Os os, const ToolPaths& paths, std::string_view name,
                             std::string_view ip, const ShutdownSettings& settings) {
    if (!IsValidEntryName(name)) return Refusal(BadNameRefusal("Arrêt de ", name));
    if (const auto problem = ShutdownCommentProblem(os, settings.comment)) {
        return Refusal("Arrêt de " + Quoted(name) + " refusé. " + *problem);
    }
    if (ip.empty()) {
        return Refusal("Arrêt de " + Quoted(name) +
                       " refusé : aucune adresse IP connue pour cette entrée (liste.ip).");
    }
    if (!toolkit::IsDottedIPv4(ip)) {
        return Refusal("Arrêt de " + Quoted(name) + " refusé : adresse IP invalide " + Quoted(ip) +
                       ".");
    }
    return Ready(os, ScriptPath(os, paths, "shutdn", name),
                 ShutdownCommandLine(os, paths, ip, settings));
}

std::string NoMacNotice(std::string_view name) {
    return "wake-on-lan : pas d'adresse MAC pour " + std::string(name);
}

std::string LaunchedLine(std::string_view commandLine) {
    return "commande lancée : " + std::string(commandLine);
}

// The file holds a password: net reads it only when no one else can.
std::optional<std::string> ShutdownAuthProblem(Os os, const ToolPaths& paths,
                                               std::string_view name) {
    if (os == Os::Windows) return std::nullopt;
    const std::string path = paths.programDir + kShutdownAuthFile;
    const auto status = toolkit::platform::StatusOf(path);
    const std::string start =
        "Arrêt de " + Quoted(name) + " refusé : le fichier d'identification " + Quoted(path);
    if (!status) return start + " est absent." + AuthHowTo(path);
    if (!status->regular) return start + " n'est pas un fichier ordinaire." + AuthHowTo(path);
    if (!status->ownedByUs) return start + " n'appartient pas à votre compte." + AuthHowTo(path);
    if (!status->privateToOwner) {
        return start +
               " est accessible à d'autres comptes que le vôtre : son mot de passe ne "
               "serait plus secret." +
               AuthHowTo(path);
    }
    return std::nullopt;
}

}  // namespace korvane
