// netsweep [noscan]
//
// Finds the computers of the local network and updates the discovery lists
// "liste.ip", "liste.mac" and "liste.ip.discover" of its program folder,
// which Korvane reads. Korvane starts it hidden, without arguments; a user
// who starts it in a console sees the whole run, in French, on standard
// output. "noscan" skips the sweep and reads only the NetBIOS cache and the
// ARP table.
//
// Exit status: 0 the run completed, or another run's marker is fresh (less
// than 0.01 day old) and this one ended at once; 1 a file could not be read
// or written (one French line on standard error; the lists keep their old
// content). The marker goes at the end of every run that took it, whatever
// failed.
#include <iostream>
#include <string>
#include <vector>

#include "network.h"
#include "run.h"
#include "usage.h"

namespace {

constexpr const char* kHelp =
    "Utilisation : netsweep [noscan]\n"
    "Trouve les ordinateurs du réseau local et met à jour les listes « liste.ip »,\n"
    "« liste.mac » et « liste.ip.discover » du dossier du programme, que Korvane lit.\n"
    "Le déroulement du passage s'affiche sur la sortie standard. « noscan » saute le\n"
    "balayage et ne lit que le cache NetBIOS et la table ARP.\n"
    "Code de sortie : 0 passage terminé (ou un autre passage est en cours), 1 un\n"
    "fichier n'a pas pu être lu ou écrit.\n";

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> all = toolkit::StartConsole(argc, argv);
    if (const auto answered = toolkit::AnswerInfoOption(all, "netsweep", kHelp, std::cout)) {
        return *answered;
    }
    const std::vector<std::string> args(all.begin() + (all.empty() ? 0 : 1), all.end());
    netsweep::SystemNetwork network;
    return netsweep::RunNetsweep(args, network, std::cout, std::cerr);
}
