// The lab host's side: its name table, which queries it answers, MAC text and
// the magic packet that wakes it.
#include "responder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using netcmd::Bytes;
using netcmd::UnitId;

const UnitId kMac = {0x02, 0x4B, 0x52, 0x00, 0x00, 0x11};

Bytes MagicPacket(const UnitId& mac, std::size_t repeats = 16) {
    Bytes packet(6, 0xFF);
    for (std::size_t i = 0; i < repeats; ++i) packet.insert(packet.end(), mac.begin(), mac.end());
    return packet;
}

TEST(HostNameTable, ListsTheHostFirstThenItsGroups) {
    const auto table = netcmd::HostNameTable("pc-salon", "maison", kMac);
    ASSERT_EQ(table.names.size(), 4u);
    const auto firstUnique = std::find_if(table.names.begin(), table.names.end(),
                                          [](const auto& entry) { return !entry.IsGroup(); });
    EXPECT_EQ(firstUnique->name, "PC-SALON");
    EXPECT_EQ(firstUnique->suffix, 0x00);
    int groups = 0;
    for (const auto& entry : table.names) {
        EXPECT_NE(entry.flags & netcmd::kActiveFlag, 0);
        if (entry.IsGroup()) {
            EXPECT_EQ(entry.name, "MAISON");
            ++groups;
        }
    }
    EXPECT_EQ(groups, 2);
    EXPECT_EQ(table.unitId, kMac);
}

TEST(AnswerNodeStatusQuery, AnswersTheWildcardAndOwnNamesOnly) {
    const auto table = netcmd::HostNameTable("PC-SALON", "MAISON", kMac);
    const auto reply = netcmd::AnswerNodeStatusQuery(netcmd::BuildNodeStatusQuery(77), table);
    ASSERT_TRUE(reply);
    const auto parsed = netcmd::ParseNodeStatusResponse(*reply, 77);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->names.size(), table.names.size());
    EXPECT_EQ(parsed->unitId, kMac);

    const auto queryFor = [](std::string_view name, std::uint8_t suffix) {
        Bytes query = netcmd::BuildNodeStatusQuery(5);
        const std::string letters = netcmd::EncodeNetbiosName(netcmd::RawNetbiosName(name, suffix));
        std::copy(letters.begin(), letters.end(), query.begin() + 13);
        return query;
    };
    EXPECT_TRUE(netcmd::AnswerNodeStatusQuery(queryFor("PC-SALON", 0x20), table));
    EXPECT_FALSE(netcmd::AnswerNodeStatusQuery(queryFor("PC-BUREAU", 0x00), table));
    EXPECT_FALSE(netcmd::AnswerNodeStatusQuery(Bytes{1, 2, 3}, table));
    EXPECT_FALSE(netcmd::AnswerNodeStatusQuery(*reply, table));  // answers are not questions
}

TEST(ParseMac, AcceptsColonsOrDashesOfEitherCase) {
    EXPECT_EQ(netcmd::ParseMac("02:4b:52:00:00:11"), kMac);
    EXPECT_EQ(netcmd::ParseMac("02-4B-52-00-00-11"), kMac);
    for (const char* bad : {"", "02:4b:52:00:00", "02:4b:52:00:00:11:", "02:4b-52:00:00:11",
                            "02:4g:52:00:00:11", "024b52000011", " 2:4b:52:00:00:11"}) {
        EXPECT_FALSE(netcmd::ParseMac(bad)) << bad;
    }
}

TEST(ContainsMagicPacket, FindsSixteenCopiesOfItsMacAnywhere) {
    EXPECT_TRUE(netcmd::ContainsMagicPacket(MagicPacket(kMac), kMac));
    Bytes wrapped = {0x00, 0xFF, 0xFF};  // stray bytes before it, as some senders add
    const Bytes magic = MagicPacket(kMac);
    wrapped.insert(wrapped.end(), magic.begin(), magic.end());
    wrapped.insert(wrapped.end(), {1, 2, 3, 4, 5, 6});  // a password after it
    EXPECT_TRUE(netcmd::ContainsMagicPacket(wrapped, kMac));

    UnitId other = kMac;
    other[5] = 0x12;
    EXPECT_FALSE(netcmd::ContainsMagicPacket(MagicPacket(other), kMac));
    EXPECT_FALSE(netcmd::ContainsMagicPacket(MagicPacket(kMac, 15), kMac));
    Bytes broken = magic;
    broken[3] = 0xFE;
    EXPECT_FALSE(netcmd::ContainsMagicPacket(broken, kMac));
    EXPECT_FALSE(netcmd::ContainsMagicPacket(Bytes{}, kMac));
}

}  // namespace
