// sweep_bench NETWORK BROADCAST
//
// netsweep's sweep alone, for the benchmarks: the addresses of the range as
// netsweep forms them, probed as netsweep probes them; prints the addresses
// that answered, one a line, in probe order.
#include <iostream>
#include <string>
#include <vector>

#include "network.h"
#include "run.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "Utilisation : sweep_bench RÉSEAU DIFFUSION (par exemple 198.18.0.0 "
                     "198.18.0.255)\n";
        return 2;
    }
    const std::vector<std::string> addresses = netsweep::SweepAddresses(argv[1], argv[2]);
    netsweep::SystemNetwork network;
    const std::vector<bool> answered = netsweep::ProbeAddresses(network, addresses);
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (answered[i]) std::cout << addresses[i] << '\n';
    }
    return 0;
}
