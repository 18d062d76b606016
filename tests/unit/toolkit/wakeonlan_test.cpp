// Wake-on-LAN outside the network: the MAC forms both wolcmd and Korvane
// accept, the magic packet's bytes, and where wolcmd sends it (its refusals
// are tested in the lab, where "nothing sent" can be seen).
#include "wakeonlan.h"

#include <gtest/gtest.h>

#include <variant>

#include "request.h"

namespace {

const toolkit::MacAddress kMac = {0x02, 0x4B, 0x52, 0x00, 0x00, 0x11};

TEST(ParseMac, TwelveHexDigitsWithOneSeparatorOrNone) {
    for (const char* good :
         {"02-4B-52-00-00-11", "02:4b:52:00:00:11", "024B52000011", "024b52000011"}) {
        EXPECT_EQ(toolkit::ParseMac(good), kMac) << good;
    }
    for (const char* bad :
         {"", "02-4B-52-00-00", "02-4B-52-00-00-11-", "02:4B-52:00:00:11", "02.4B.52.00.00.11",
          "024B5200001", "024B520000111", "02-4G-52-00-00-11", " 024B52000011", "02-4B-52-00-00-1;",
          "024B5200 011"}) {
        EXPECT_FALSE(toolkit::ParseMac(bad)) << bad;
    }
}

TEST(MagicPacket, SixFFThenTheAddressSixteenTimes) {
    const auto packet = toolkit::MagicPacket(kMac);
    ASSERT_EQ(packet.size(), 102u);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(packet[i], 0xFF);
    for (std::size_t i = 6; i < packet.size(); ++i) EXPECT_EQ(packet[i], kMac[(i - 6) % 6]) << i;
}

TEST(WolcmdArguments, DestinationIsTheSubnetBroadcastAndPortSevenByDefault) {
    struct Case {
        std::vector<std::string_view> args;
        std::string destination;
        std::uint16_t port;
    };
    for (const Case& c : std::vector<Case>{
             {{"02-4B-52-00-00-11", "198.18.0.12", "255.255.255.0"}, "198.18.0.255", 7},
             {{"024b52000011", "10.1.2.3", "255.255.0.0", "9"}, "10.1.255.255", 9},
             {{"02:4B:52:00:00:11", "255.255.255.255", "255.255.255.0"}, "255.255.255.255", 7},
             {{"02:4B:52:00:00:11", "192.168.1.5", "0.0.0.0", "65535"}, "255.255.255.255", 65535},
         }) {
        const auto parsed = wolcmd::ParseArguments(c.args);
        ASSERT_TRUE(std::holds_alternative<wolcmd::WakeRequest>(parsed)) << c.args[1];
        const auto& request = std::get<wolcmd::WakeRequest>(parsed);
        EXPECT_EQ(request.mac, kMac);
        EXPECT_EQ(request.destination, c.destination);
        EXPECT_EQ(request.port, c.port);
    }
}

}  // namespace
