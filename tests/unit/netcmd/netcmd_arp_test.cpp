// The neighbour table: which kernel rows become "dynamique" lines, and that
// netsweep's reading of those lines gives back address and MAC.
#include <gtest/gtest.h>

#include "arp.h"
#include "listings.h"

namespace {

using toolkit::TextList;

const TextList kProcArp = {
    "IP address       HW type     Flags       HW address            Mask     Device",
    "198.18.0.11      0x1         0x2         02:4b:52:00:00:11     *        eth0",
    "198.18.0.99      0x1         0x0         00:00:00:00:00:00     *        eth0",
    "198.18.0.12      0x1         0x6         02:4B:52:00:00:12     *        eth0",
    "198.18.0.13      0x1         0x2         00:00:00:00:00:00     *        eth0",
    "10.0.0.7         0x1         0x2         02:00:00:00:00:07     *        eth1",
    "172.16.0.1       0x1         0x2         02:00:00:00:00:08     *        tun0",
    "198.18.0.300     0x1         0x2         02:00:00:00:00:09     *        eth0",
    "198.18.0.14      0x1         0x2         02:00:00:00:00        *        eth0",
    "198.18.0.15      0x1         zz          02:00:00:00:00:0a     *        eth0",
    "198.18.0.16      0x1         0x2",
};

TEST(ParseProcArp, KeepsCompleteWellFormedRows) {
    const auto entries = netcmd::ParseProcArp(kProcArp);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].address, "198.18.0.11");
    EXPECT_EQ(entries[0].mac, "02-4b-52-00-00-11");
    EXPECT_FALSE(entries[0].permanent);
    EXPECT_EQ(entries[1].mac, "02-4b-52-00-00-12");
    EXPECT_TRUE(entries[1].permanent);
    EXPECT_EQ(entries[2].device, "eth1");
    EXPECT_EQ(entries[3].device, "tun0");
}

// netsweep: lines holding "dynamique", address before the first space, MAC
// the next word.
TEST(FormatArpTable, DynamicLinesGiveAddressAndMacPerInterface) {
    const auto entries = netcmd::ParseProcArp(kProcArp);
    const TextList lines =
        netcmd::FormatArpTable({{"eth0", 2, "198.18.0.2"}, {"eth1", 11, "10.0.0.2"}}, entries);
    std::vector<std::string> seen;
    for (const auto& entry : netsweep::ReadArpTable(lines)) {
        seen.push_back(entry.address + "=" + entry.mac);
    }
    // The permanent entry is "statique"; tun0 has no address here, so no block.
    EXPECT_EQ(seen, (std::vector<std::string>{"198.18.0.11=02-4B-52-00-00-11",
                                              "10.0.0.7=02-00-00-00-00-07"}));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Interface : 10.0.0.2 --- 0xb"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "  198.18.0.12           02-4b-52-00-00-12     statique"),
              lines.end());
}

}  // namespace
