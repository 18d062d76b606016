#include "korvane/core/names.h"

#include <algorithm>
#include <iterator>

#include "utils.h"

namespace korvane {

namespace {

constexpr std::string_view kReservedNames[] = {
    "localGM",
    "localIP",
    "etats",
    "log",
    "krv.ini",
    "settings.ini",
    "liste.ip",
    "liste.mac",
    "liste.known",
    "liste.patch",
    "liste.ip.discover",
    "liste.appareils",
    "liste.machines",
    "netsweep.lck",
    "ipactive",
    "wol.followup",
    "shutdown.followup",
    "incidents.non-vus",
    "incidents.vus",
    "shutdown.auth",
    "arret.ini",
    "notifications.ini",
    "acces-web.ini",
    "acces-web.crt",
    "acces-web.key",
    "liste.planning",
    "liste.protegees",
    "historique.etats",
    "historique.etats.ancien",
    "puissances.ini",
    "consommation.csv",
    "planning.lck",
    "planning.fait",
    "liste.ssh",
    "korvane_ssh",
    "korvane_ssh.pub",
    "known_hosts",
    "known_hosts.old",
    "korvane",
    "netsweep",
    "hostping",
    "wolcmd",
    "netcmd",
    "console.txt",      // where the console log is saved unless the user picks another
    "par-utilisateur",  // beside the programs, it sends every file to a per-user folder
};

}  // namespace

bool IsReservedFileName(std::string_view name) {
    const std::string lower = toolkit::AsciiLower(name);
    if (lower.ends_with(".bmp") || lower.ends_with(".exe")) return true;
    for (const std::string_view script : {"powerup", "shutdn", "restart", "acces"}) {
        if (lower.starts_with(script) && (lower.ends_with(".sh") || lower.ends_with(".bat")))
            return true;
    }
    return std::any_of(
        std::begin(kReservedNames), std::end(kReservedNames),
        [&](std::string_view reserved) { return toolkit::EqualsIgnoreCase(reserved, name); });
}

}  // namespace korvane
