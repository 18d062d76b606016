// ARP requests and replies as bytes, and which link an address lies on.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/arp_packet.h"

namespace {

namespace arp = toolkit::platform::arp;

std::uint32_t Ip(const char* dotted) {
    in_addr address{};
    inet_pton(AF_INET, dotted, &address);
    return address.s_addr;
}

const arp::MacAddress kMac = {0x02, 0x4b, 0x52, 0x00, 0x00, 0x02};

TEST(ArpPacket, RequestAsksForTheTargetAndRepliesNameTheirSender) {
    const arp::Packet request = arp::Request(kMac, Ip("198.18.0.2"), Ip("198.18.0.11"));
    EXPECT_EQ(request, (arp::Packet{0,    1,    8,    0, 6, 4, 0,   1,  // Ethernet, IPv4, request
                                    0x02, 0x4b, 0x52, 0, 0, 2, 198, 18, 0, 2,      // sender
                                    0,    0,    0,    0, 0, 0, 198, 18, 0, 11}));  // target
    EXPECT_EQ(arp::ReplySender(request), std::nullopt) << "a request is no reply";
    arp::Packet reply = request;
    reply[7] = 2;
    EXPECT_EQ(arp::ReplySender(reply), Ip("198.18.0.2"));
    for (const std::size_t at : {0, 3, 4, 5}) {
        arp::Packet other = reply;
        other[at] ^= 0x10;
        EXPECT_EQ(arp::ReplySender(other), std::nullopt) << "byte " << at;
    }
    EXPECT_EQ(arp::ReplySender(std::span(reply.data(), 27)), std::nullopt) << "cut short";
}

TEST(ArpPacket, AnAddressLiesOnTheLinkWhoseNetworkHoldsIt) {
    const std::vector<arp::Link> links = {{2, kMac, Ip("198.18.0.2"), Ip("255.255.240.0")},
                                          {3, kMac, Ip("10.0.0.5"), Ip("255.255.255.0")}};
    struct Case {
        const char* target;
        std::optional<std::size_t> link;
    };
    for (const Case& c : std::vector<Case>{{"198.18.0.11", 0},
                                           {"198.18.15.254", 0},
                                           {"10.0.0.1", 1},
                                           {"198.18.16.1", std::nullopt},    // beyond the /20
                                           {"198.18.0.2", std::nullopt},     // this machine
                                           {"198.18.0.0", std::nullopt},     // the network
                                           {"198.18.15.255", std::nullopt},  // its broadcast
                                           {"192.168.1.1", std::nullopt}}) {
        EXPECT_EQ(arp::LinkOf(links, Ip(c.target)), c.link) << c.target;
    }
}

}  // namespace
