// netcmd: the network commands the toolkit runs captured, for systems that do
// not have them. Usage and exit codes: cli.h.
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "usage.h"

namespace {

constexpr const char* kHelp =
    "Utilisation : netcmd ipconfig /all\n"
    "              netcmd nbtstat -a ADRESSE_IPV4 [ADRESSE_IPV4...]\n"
    "              netcmd nbtstat -c\n"
    "              netcmd arp -a\n"
    "Affiche, dans la présentation française de Windows que lisent Korvane et\n"
    "netsweep, la configuration des cartes réseau (ipconfig /all), la table de noms\n"
    "NetBIOS des adresses données, demandée sur le réseau (nbtstat -a), le cache des\n"
    "noms NetBIOS (nbtstat -c) ou la table ARP (arp -a).\n";

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    if (const auto answered = toolkit::AnswerInfoOption(argc, argv, "netcmd", kHelp, std::cout)) {
        return *answered;
    }
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return netcmd::RunNetcmd(args, std::cout, std::cerr);
}
