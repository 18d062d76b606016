// wolcmd in the lab: the packet as a host's interface receives it, its three
// sends, a sleeping host woken on port 7 and on port 9, and bad arguments
// that send nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "lab_support.h"
#include "utils.h"
#include "wakeonlan.h"

namespace {

using std::chrono::milliseconds;

std::string Wolcmd(const std::string& arguments) {
    return lab::BinPath("wolcmd") + " " + arguments + " 2>&1";
}

// The responder wakes its host when it gets to the packet, which a loaded
// machine may delay by seconds: the wait ends when the host is awake, and
// gives up only long after any reasonable delay.
bool WakesUp(const lab::Host& host) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < giveUp) {
        if (!lab::IsAsleep(host)) return true;
        usleep(50'000);
    }
    return !lab::IsAsleep(host);
}

toolkit::MacAddress MacOf(const lab::Host& host) {
    return toolkit::ParseMac(host.mac).value();
}

TEST(WolcmdLab, ThreeMagicPacketsToTheSubnetBroadcastOnPortSevenOrTheOneGiven) {
    const lab::Host& target = lab::Hosts().at(1);
    lab::UdpCapture capture(lab::Hosts().at(0));  // another host of the subnet hears it too
    struct Case {
        std::string arguments;
        std::string destination;
        std::uint16_t port;
    };
    for (const Case& c : std::vector<Case>{
             {target.mac + " " + target.address + " " + lab::kMask, "198.18.0.255", 7},
             {target.mac + " 255.255.255.255 255.255.255.0 9", "255.255.255.255", 9},
         }) {
        const lab::RunResult run = lab::RunForStatus(Wolcmd(c.arguments));
        EXPECT_EQ(run.status, 0) << run.output;
        const auto datagrams = capture.Collect(milliseconds(1000));
        ASSERT_EQ(datagrams.size(), 3u) << c.arguments;
        for (std::size_t i = 0; i < datagrams.size(); ++i) {
            EXPECT_EQ(datagrams[i].destination, c.destination);
            EXPECT_EQ(datagrams[i].port, c.port);
            EXPECT_EQ(datagrams[i].payload, toolkit::MagicPacket(MacOf(target)));
            if (i > 0) {  // a lower bound only: a loaded machine may space them more
                EXPECT_GE(datagrams[i].received - datagrams[i - 1].received, milliseconds(95));
            }
        }
    }
}

TEST(WolcmdLab, SleepingHostWakesOnlyForItsOwnAddressOnPortSevenAndNine) {
    const lab::Host& sleeper = lab::Hosts().at(3);
    const lab::Host& other = lab::Hosts().at(2);
    lab::ScopedSleep asleep(sleeper);
    lab::Run(Wolcmd(other.mac + " " + sleeper.address + " " + lab::kMask));
    EXPECT_TRUE(lab::IsAsleep(sleeper));
    for (const char* port : {"", " 9"}) {
        lab::Sleep(sleeper);
        std::string bareMac = toolkit::AsciiUpper(sleeper.mac);  // another accepted form
        std::erase(bareMac, ':');
        lab::Run(Wolcmd(bareMac + " " + sleeper.address + " " + lab::kMask + port));
        EXPECT_TRUE(WakesUp(sleeper)) << "port" << port;
    }
}

TEST(WolcmdLab, BadArgumentsAreNamedAndSendNothing) {
    const lab::Host& host = lab::Hosts().at(1);
    lab::UdpCapture capture(host);
    const std::string mac = host.mac, ip = host.address, mask = lab::kMask;
    struct Case {
        std::string arguments;
        int status;
        std::string named;
    };
    for (const Case& c : std::vector<Case>{
             {"", 2, "il manque l'adresse MAC"},
             {mac + " " + ip, 2, "il manque le masque"},
             {mac + " " + ip + " " + mask + " 7 8", 2, "trop d'arguments"},
             {"02-4b-52-00-00 " + ip + " " + mask, 1, "adresse MAC invalide"},
             {mac + " 198.18.0.300 " + mask, 1, "adresse IP invalide : « 198.18.0.300 »"},
             {mac + " 198.18.0.012 " + mask, 1, "adresse IP invalide"},
             {mac + " " + ip + " 255.255.0.255", 1, "masque de sous-réseau invalide"},
             {mac + " " + ip + " " + mask + " 70000", 1, "port invalide"},
             {mac + " " + ip + " " + mask + " 0", 1, "port invalide : « 0 »"},
             {mac + " " + ip + " " + mask + " +9", 1, "port invalide"},
         }) {
        const lab::RunResult run = lab::RunForStatus(Wolcmd(c.arguments));
        EXPECT_EQ(run.status, c.status) << c.arguments;
        EXPECT_NE(run.output.find("wolcmd : " + c.named), std::string::npos) << run.output;
    }
    EXPECT_TRUE(capture.Collect(milliseconds(1000)).empty());
}

}  // namespace
