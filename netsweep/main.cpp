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
// content and the marker stays).
#include <iostream>
#include <string>
#include <vector>

#include "network.h"
#include "run.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    netsweep::SystemNetwork network;
    return netsweep::RunNetsweep(args, network, std::cout, std::cerr);
}
