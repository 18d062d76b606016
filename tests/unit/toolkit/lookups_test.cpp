// Many look-ups at once: every text keeps its place in the answer, addresses
// need no resolver, and the names this machine knows from its hosts file are
// found. (A silent DNS server and the deadline are tested in the lab.)
#include <gtest/gtest.h>

#include <chrono>

#include "lookups.h"

namespace {

using namespace std::chrono_literals;
using toolkit::IPv4;

TEST(Lookups, ForwardKeepsOrderAndConvertsAddressesDirectly) {
    const std::vector<std::string> texts = {
        "198.51.100.7",        "",          "localhost", "010.1.1.1",
        "nom-inconnu.invalid", "localhost", "10.0.0.1"};
    const std::vector<IPv4> expected = {{198, 51, 100, 7}, {0, 0, 0, 0}, {127, 0, 0, 1},
                                        {0, 0, 0, 0},      {0, 0, 0, 0}, {127, 0, 0, 1},
                                        {10, 0, 0, 1}};
    EXPECT_EQ(toolkit::HostsToIPv4(texts, 5s), expected);
    EXPECT_TRUE(toolkit::HostsToIPv4({}, 5s).empty());
    // With no time at all only what needs no resolver is known.
    EXPECT_EQ(toolkit::HostsToIPv4({"10.0.0.1"}, 0ms), (std::vector<IPv4>{{10, 0, 0, 1}}));
}

TEST(Lookups, ReverseKeepsOrderAndRefusesWhatIsNotAnAddress) {
    const auto entries = toolkit::ReverseLookups({"pas une adresse", "127.0.0.1", "", "1.2.3"}, 5s);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_FALSE(entries[0]);
    ASSERT_TRUE(entries[1]);
    EXPECT_EQ(entries[1]->name, "localhost");
    EXPECT_FALSE(entries[2]);
    EXPECT_FALSE(entries[3]);
}

}  // namespace
