// Local network information on the simulated LAN: the address table of the
// admin machine and the reverse look-ups through its hosts file.
#include <gtest/gtest.h>

#include "lab_support.h"
#include "reseau.h"

namespace {

TEST(LocalAddressTableLab, ListsLoopbackAndTheLanAddressWithTheirMasks) {
    toolkit::TextList addresses{"stale"}, masks{"stale", "rows"};
    toolkit::LoadLocalAddressTable(addresses, masks);
    ASSERT_EQ(addresses.size(), masks.size());
    ASSERT_EQ(addresses.size(), 2u) << "loopback and eth0, in interface order";
    EXPECT_EQ(addresses[0], "127.0.0.1");
    EXPECT_EQ(masks[0], "255.0.0.0");
    EXPECT_EQ(addresses[1], lab::kAdmin);
    EXPECT_EQ(masks[1], lab::kMask);
}

TEST(ReverseLookupLab, GivesTheOfficialNameAndTheFirstAlias) {
    int named = 0;
    for (const lab::Host& host : lab::Hosts()) {
        SCOPED_TRACE(host.id);
        if (host.reverseName.empty()) {
            EXPECT_EQ(toolkit::NameByAddress(host.address), "");
            EXPECT_EQ(toolkit::AliasByAddress(host.address), "");
            continue;
        }
        ++named;
        EXPECT_EQ(toolkit::NameByAddress(host.address), host.reverseName);
        EXPECT_EQ(toolkit::AliasByAddress(host.address), toolkit::ShortHostName(host.reverseName));
    }
    EXPECT_GT(named, 0) << "the lab's hosts file names some hosts";
}

TEST(ReverseLookupLab, UnknownAndMalformedAddressesGiveEmptyText) {
    EXPECT_EQ(toolkit::NameByAddress(lab::kUnused), "");
    EXPECT_EQ(toolkit::AliasByAddress(lab::kUnused), "");
    for (const char* text : {"", "pc-salon", "198.18.0", "198.18.0.011", "198.18.0.11 "}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(toolkit::NameByAddress(text), "");
        EXPECT_EQ(toolkit::AliasByAddress(text), "");
    }
}

}  // namespace
