// The probes under Wine against the simulated LAN, where the admin machine
// gives up asking for a silent address within a probe's time-out
// (tests/windows/lab.sh). Skipped elsewhere.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "neighbours.h"
#include "raw_ping.h"

namespace {

using Addresses = std::vector<toolkit::IPv4>;

// Nobody answers the address query for 198.18.0.99: this machine's own stack
// then reports it unreachable, and Wine lists it in the neighbour table as a
// row of zeros; neither says anything of a host. The gateway's report for an
// address beyond it is an answer, as on Linux. Each probe holds more
// requests than the old rounds of threads did, all in flight at once: the
// sweep's echo, netsweep's echo and neighbour table, and the poll's echoes
// and connections.
TEST(Win32LabProbe, OnlyTheNetworksAnswersCountNotTheMachinesOwnReports) {
    if (std::getenv("KORVANE_WINE_LAB") == nullptr) GTEST_SKIP() << "hors du laboratoire";
    Addresses addresses;
    std::vector<bool> expected;
    for (int last = 1; last <= 100; ++last) {
        if (last == 13 || last == 14) continue;  // asleep or woken by other tests
        addresses.push_back(toolkit::HostToIPv4("198.18.0." + std::to_string(last)));
        expected.push_back(last == 1 || last == 2 || last == 11 || last == 12);
    }
    addresses.push_back(toolkit::HostToIPv4("203.0.113.5"));
    expected.push_back(true);
    const std::chrono::seconds second(1);
    const struct {
        const char* name;
        std::function<std::vector<bool>(const Addresses&)> probe;
    } probes[] = {
        {"echo", [&](const Addresses& a) { return toolkit::IcmpProbeAddresses(a, second); }},
        {"netsweep", [&](const Addresses& a) { return toolkit::SweepProbe(a, second); }},
        {"poll", [&](const Addresses& a) { return toolkit::ProbeComputers(a, second); }},
    };
    for (const auto& [name, probe] : probes) {
        const std::vector<bool> verdicts = probe(addresses);
        ASSERT_EQ(verdicts.size(), addresses.size()) << name;
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            EXPECT_EQ(verdicts[i], expected[i]) << name << " " << toolkit::ToDotted(addresses[i]);
        }
    }
}

}  // namespace
