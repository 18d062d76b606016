// The machine list export: its header, one row per group member with its own
// look-ups, and the two openers.
#include "korvane/core/export.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using toolkit::TextList;

TEST(MachineList, HeaderIsFiftyNineCharactersOfThreeQuotedTitles) {
    const std::string header = korvane::MachineListHeader();
    EXPECT_EQ(header.size(), 59u);
    EXPECT_EQ(header, "\"  Machine  \";\"     Adresse MAC     \";\"     Adresse IP    \"");
}

TEST(MachineList, OneRowPerMemberInInventoryThenFileOrder) {
    const std::map<std::string, TextList> groups = {{"bureau", {"pc2", "pc1"}}, {"salon", {"tv"}}};
    const auto load = [&](const std::string& entry) {
        if (!groups.contains(entry)) throw toolkit::FileError("« " + entry + " » introuvable");
        return groups.at(entry);
    };
    const TextList ips = {"pc1 10.0.0.1", "pc2 10.0.0.2"};
    const TextList macs = {"PC1 02-00-00-00-00-01", "TV 02-00-00-00-00-09"};
    EXPECT_EQ(korvane::MachineListLines({}, load, ips, macs),
              (TextList{korvane::MachineListHeader()}));
    EXPECT_EQ(korvane::MachineListLines({"bureau", "salon"}, load, ips, macs),
              (TextList{korvane::MachineListHeader(), "\"pc2\";\"\";\"10.0.0.2\"",
                        "\"pc1\";\"02-00-00-00-00-01\";\"10.0.0.1\"",
                        "\"tv\";\"02-00-00-00-00-09\";\"\""}));
    // An entry whose group file cannot be read is left out and named; the rest is exported.
    std::vector<std::string> skipped;
    EXPECT_EQ(korvane::MachineListLines({"absent", "salon"}, load, ips, macs, &skipped),
              (TextList{korvane::MachineListHeader(), "\"tv\";\"02-00-00-00-00-09\";\"\""}));
    EXPECT_EQ(skipped, (std::vector<std::string>{"« absent » : « absent » introuvable"}));
}

}  // namespace
