// nbtstat listings as netsweep reads them back, names from hostile hosts, and
// the ten-minute name cache kept between runs.
#include <gtest/gtest.h>

#include <algorithm>

#include "listings.h"
#include "nbtstat.h"
#include "test_folder.h"

namespace {

using netcmd::CacheEntry;
using netcmd::NodeStatus;
using toolkit::TextList;

constexpr std::int64_t kNow = 1'700'000'000;

NodeStatus Table(std::vector<netcmd::NodeName> names) {
    NodeStatus status;
    status.names = std::move(names);
    status.unitId = {0x02, 0x4b, 0x52, 0x00, 0x00, 0x11};
    return status;
}

NodeStatus Salon() {
    return Table({{"PC-SALON       ", 0x00, 0x0400},
                  {"MAISON         ", 0x00, 0x8400},
                  {"PC-SALON       ", 0x20, 0x0400}});
}

// netsweep's readers of the listings are the judges of the layout.
using netsweep::FirstUniqueName;

std::vector<std::pair<std::string, std::string>> CachedNames(const TextList& lines) {
    std::vector<std::pair<std::string, std::string>> found;
    for (const auto& cached : netsweep::ReadNameCache(lines)) {
        found.emplace_back(cached.name, cached.address);
    }
    return found;
}

TEST(SanitizeNetbiosName, DropsPaddingAndReplacesUnsafeBytes) {
    EXPECT_EQ(netcmd::SanitizeNetbiosName("PC-SALON       "), "PC-SALON");
    EXPECT_EQ(netcmd::SanitizeNetbiosName("A<00>B"), "A_00_B");
    EXPECT_EQ(netcmd::SanitizeNetbiosName("MY PC\r\n"), "MY_PC__");
    EXPECT_EQ(netcmd::SanitizeNetbiosName(std::string("X\0Y\x7F\xC3\xA9", 6)), "X_Y___");
    EXPECT_EQ(netcmd::SanitizeNetbiosName("  LEAD"), "__LEAD");
    EXPECT_EQ(netcmd::SanitizeNetbiosName("               "), "");
    EXPECT_EQ(netcmd::SanitizeNetbiosName("UNIQUEUNIQUE"), "UNIQU_UNIQU_");
}

TEST(FormatNodeStatus, FirstUniqueLineNamesTheHost) {
    const TextList lines = netcmd::FormatNodeStatus(Salon());
    EXPECT_EQ(FirstUniqueName(lines), "pc-salon");
    const auto group = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("GROUP") != std::string::npos;
    });
    ASSERT_NE(group, lines.end());
    EXPECT_EQ(*group, "    MAISON          <00>  GROUP       Inscrit");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "    Adresse MAC = 02-4B-52-00-00-11"),
              lines.end());
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("Inscrit") != std::string::npos;
                            }),
              3);
}

TEST(FormatNodeStatus, HostileNamesStayOnTheirLine) {
    const NodeStatus status =
        Table({{"EVIL\r\n    X  ", 0x1B, 0x8400}, {"<>PWN <20>", 0x00, 0x0400}});
    const TextList lines = netcmd::FormatNodeStatus(status);
    EXPECT_EQ(FirstUniqueName(lines), "__pwn__20_");
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    }
    EXPECT_EQ(lines.size(), netcmd::FormatNodeStatus(Table({{"A", 0, 0}, {"B", 0, 0}})).size());

    // A group named after the word the readers look for is not taken for the host.
    EXPECT_EQ(FirstUniqueName(netcmd::FormatNodeStatus(
                  Table({{"UNIQUE", 0x00, 0x8400}, {"PC-SALON", 0x00, 0x0400}}))),
              "pc-salon");
}

TEST(FormatNodeHeader, NamesAdapterAndLocalAddress) {
    const TextList header = netcmd::FormatNodeHeader("eth0", "198.18.0.2");
    EXPECT_EQ(header,
              (TextList{"", "eth0:", "Adresse IP du nœud : [198.18.0.2] ID d'étendue : []", ""}));
}

TEST(CacheLine, RoundTripsAndRefusesAnythingElse) {
    const CacheEntry entry{kNow, "198.18.0.11", 0x1E, true, "MAISON"};
    const std::string line = netcmd::FormatCacheLine(entry);
    const auto back = netcmd::ParseCacheLine(line);
    ASSERT_TRUE(back);
    EXPECT_EQ(netcmd::FormatCacheLine(*back), line);
    EXPECT_TRUE(back->group);
    EXPECT_EQ(back->suffix, 0x1E);
    EXPECT_TRUE(netcmd::ParseCacheLine("5 198.18.0.11 00 U "));  // a blank name is still a name

    for (const char* bad :
         {"", "1700000000 198.18.0.11 00 U", "1700000000 198.18.0.11 00 U A B",
          "-1 198.18.0.11 00 U A", "17x 198.18.0.11 00 U A", "1700000000 198.18.0.256 00 U A",
          "1700000000 host 00 U A", "1700000000 198.18.0.11 0 U A", "1700000000 198.18.0.11 0G U A",
          "1700000000 198.18.0.11 00 X A", "1700000000 198.18.0.11 00 U A<B",
          "1700000000 198.18.0.11 00 U ABCDEFGHIJKLMNOP", "1700000000  198.18.0.11 00 U A",
          "99999999999999999999 1.2.3.4 00 U A"}) {
        EXPECT_FALSE(netcmd::ParseCacheLine(bad)) << bad;
    }
}

TEST(CacheEntries, KeepOnlyLiveWellFormedLines) {
    const TextList lines = {
        netcmd::FormatCacheLine({kNow - 599, "198.18.0.11", 0, false, "FRESH"}),
        netcmd::FormatCacheLine({kNow - 600, "198.18.0.12", 0, false, "EXPIRED"}),
        netcmd::FormatCacheLine({kNow + 5, "198.18.0.13", 0, false, "FUTURE"}),
        "garbage \x01\x02",
        netcmd::FormatCacheLine({kNow, "198.18.0.14", 0x20, false, "NOW"}),
    };
    const auto live = netcmd::LiveCacheEntries(lines, kNow);
    ASSERT_EQ(live.size(), 2u);
    EXPECT_EQ(live[0].name, "FRESH");
    EXPECT_EQ(live[1].name, "NOW");
}

TEST(CacheEntries, AnAnswerReplacesThatAddressOnly) {
    std::vector<CacheEntry> cache = {{kNow - 100, "198.18.0.11", 0, false, "OLD-NAME"},
                                     {kNow - 100, "198.18.0.12", 0, false, "PC-BUREAU"}};
    cache = netcmd::MergeAnswer(cache, "198.18.0.11", Salon(), kNow);
    ASSERT_EQ(cache.size(), 4u);
    EXPECT_EQ(cache[0].name, "PC-BUREAU");
    for (std::size_t i = 1; i < cache.size(); ++i) {
        EXPECT_EQ(cache[i].address, "198.18.0.11");
        EXPECT_EQ(cache[i].time, kNow);
    }
    EXPECT_EQ(cache[1].name, "PC-SALON");
    EXPECT_TRUE(cache[2].group);
}

TEST(FormatCacheTable, UniqueLinesGiveNameAndAddress) {
    const std::vector<CacheEntry> cache = {{kNow - 3, "198.18.0.11", 0, false, "PC-SALON"},
                                           {kNow - 3, "198.18.0.11", 0, true, "MAISON"},
                                           {kNow - 100, "198.18.0.14", 0x20, false, "SERVEUR-NAS"}};
    const TextList lines = netcmd::FormatCacheTable(cache, kNow);
    const auto found = CachedNames(lines);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], std::make_pair(std::string("pc-salon"), std::string("198.18.0.11")));
    EXPECT_EQ(found[1], std::make_pair(std::string("serveur-nas"), std::string("198.18.0.14")));
    const auto nas = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("SERVEUR-NAS") != std::string::npos;
    });
    EXPECT_TRUE(nas->ends_with(" 500"));
    EXPECT_TRUE(CachedNames(netcmd::FormatCacheTable({}, kNow)).empty());

    const auto tricky = CachedNames(netcmd::FormatCacheTable(
        netcmd::MergeAnswer({}, "198.18.0.13", Table({{"X-UNIQUE", 0, 0x0400}}), kNow), kNow));
    ASSERT_EQ(tricky.size(), 1u);
    EXPECT_EQ(tricky[0].second, "198.18.0.13");
}

TEST(CacheFile, SavedCacheLoadsBackFromTheScratchFolder) {
    testing_support::TempFolder scratch;
    testing_support::ScopedEnv env("KORVANE_SCRATCH", scratch.Path());
    EXPECT_TRUE(netcmd::LoadCache(kNow).empty());  // no file yet
    netcmd::SaveCache(netcmd::MergeAnswer({}, "198.18.0.11", Salon(), kNow));
    const auto cache = netcmd::LoadCache(kNow + 10);
    ASSERT_EQ(cache.size(), 3u);
    EXPECT_EQ(cache[0].name, "PC-SALON");
    EXPECT_TRUE(netcmd::LoadCache(kNow + netcmd::kCacheLifetimeSeconds).empty());
}

}  // namespace
