// hostping LISTFILE OUTFILE
//
// Probes every host of LISTFILE (one per line, a dotted address or a name;
// blank lines are skipped) with one ICMP echo request each, and writes OUTFILE
// with one line per host that answered: the host as listed, then "=1", in list
// order. OUTFILE is replaced atomically, so it is complete when it exists.
//
// Exit status: 0 done, 1 list unreadable or result not written (no result
// file then), 2 wrong arguments.
#include <exception>
#include <iostream>
#include <string>

#include "raw_ping.h"
#include "utils.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFileError = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Utilisation : hostping FICHIER_LISTE FICHIER_RESULTAT\n"
    "Envoie une demande d'écho ICMP à chaque hôte de FICHIER_LISTE (une adresse ou un nom\n"
    "par ligne) et écrit dans FICHIER_RESULTAT une ligne « hôte=1 » par hôte qui a répondu.\n";

toolkit::TextList ListedHosts(const toolkit::TextList& lines) {
    toolkit::TextList hosts;
    for (const auto& line : lines) {
        std::string host = toolkit::Trim(line);
        if (!host.empty()) hosts.push_back(std::move(host));
    }
    return hosts;
}

toolkit::TextList AnsweredLines(const toolkit::TextList& hosts, const std::vector<bool>& answered) {
    toolkit::TextList lines;
    for (std::size_t i = 0; i < hosts.size() && i < answered.size(); ++i) {
        if (answered[i]) lines.push_back(hosts[i] + "=1");
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    try {
        const toolkit::TextList hosts = ListedHosts(toolkit::LoadLines(argv[1]));
        const std::vector<bool> answered = toolkit::IcmpProbeMany(hosts, toolkit::kEchoTimeout);
        toolkit::SaveLines(argv[2], AnsweredLines(hosts, answered));
    } catch (const std::exception& error) {  // FileError: the list or the result
        std::cerr << "hostping : " << error.what() << '\n';
        return kExitFileError;
    }
    return kExitDone;
}
