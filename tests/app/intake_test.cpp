// The intake dialog's commands: its opening, its rows following the
// discovery list and its memo, and OK.
#include <gtest/gtest.h>

#include "app_folder.h"

namespace {

using app_testing::AppFolder;
using toolkit::TextList;

std::vector<std::string> Names(const std::optional<korvane::IntakeRows>& rows) {
    std::vector<std::string> names;
    if (rows) {
        for (const auto& row : *rows) names.push_back(row.name);
    }
    return names;
}

// The opening: an empty pdc takes the session's logon server, the memo
// starts with the managed entries. Then seven rows of the machines
// discovered and not in the memo, in file order; no discovery file: no rows,
// the dialog keeps what it shows.
TEST(AppIntake, OpeningAndRowsFollowTheDiscoveryListAndTheMemo) {
    AppFolder folder;
    folder.Write("localGM", {"pc1"});
    folder.Write("krv.ini", {"pdc="});
    testing_support::ScopedEnv server("LOGONSERVER", "\\\\SRV");
    TextList discover, addresses;
    for (int n = 1; n <= 10; ++n) {
        const std::string name = "pc" + std::to_string(n);
        discover.push_back("10.0.0." + std::to_string(n) + "=" + name);
        addresses.push_back(name + " 10.0.0." + std::to_string(n));
    }
    folder.Write("liste.ip", addresses);
    korvane::KorvaneApp& app = folder.Start();
    EXPECT_EQ(app.IntakeOpened(), TextList{"pc1"});
    EXPECT_EQ(app.CurrentSettings().pdc, "\\\\SRV");
    std::filesystem::remove(folder / "liste.ip.discover");
    EXPECT_FALSE(app.IntakeRefresh({}));
    folder.Write("liste.ip.discover", {});
    EXPECT_EQ(Names(app.IntakeRefresh({})), std::vector<std::string>(7, ""));
    folder.Write("liste.ip.discover", discover);
    const std::optional<korvane::IntakeRows> rows = app.IntakeRefresh({});
    EXPECT_EQ(Names(rows),
              (std::vector<std::string>{"pc1", "pc2", "pc3", "pc4", "pc5", "pc6", "pc7"}));
    EXPECT_EQ(rows->at(1).ip, "10.0.0.2");
    EXPECT_EQ(Names(app.IntakeRefresh({"PC1"})),
              (std::vector<std::string>{"pc2", "pc3", "pc4", "pc5", "pc6", "pc7", "pc8"}));
    std::filesystem::remove(folder / "localGM");
    EXPECT_FALSE(app.IntakeOpened());
}

// Every line of the discovery list is a candidate, whether netsweep's record
// of the devices exists or not: a name twice (in any case) gives two rows, a
// line without a name a blank row among the others.
TEST(AppIntake, EveryDiscoveryLineIsACandidateWithOrWithoutTheDeviceRecord) {
    AppFolder folder;
    folder.Write("localGM", {});
    folder.Write("liste.ip.discover",
                 {"10.0.0.5=pc1", "10.0.0.6=", "10.0.0.7=PC1", "10.0.0.8=", "10.0.0.9=pc2"});
    korvane::KorvaneApp& app = folder.Start();
    const std::vector<std::string> all{"pc1", "", "PC1", "", "pc2", "", ""};
    const std::vector<std::string> unmanaged{"", "", "pc2", "", "", "", ""};
    EXPECT_EQ(Names(app.IntakeRefresh({})), all);
    EXPECT_EQ(Names(app.IntakeRefresh({"Pc1"})), unmanaged);
    toolkit::DeviceRecord record;
    record.lastSweep = 1'800'000'000;
    toolkit::Device nas;
    nas.mac = "02-4B-52-00-00-50";
    nas.address = "10.0.0.50";
    nas.name = "nas";
    nas.firstSeen = nas.lastSeen = *record.lastSweep;
    record.devices.push_back(nas);
    toolkit::SaveLines(folder / toolkit::kDeviceRecordFile, toolkit::DeviceRecordLines(record));
    EXPECT_EQ(Names(app.IntakeRefresh({})), all);
    EXPECT_EQ(Names(app.IntakeRefresh({"Pc1"})), unmanaged);
}

// A bad line first: the message names it, nothing is written. Then OK saves,
// makes the group file, and the map is rebuilt with the managed list as it
// now is, without the entries taken out of it.
TEST(AppIntake, OkChecksEveryLineThenSavesAndTheMapIsRebuilt) {
    AppFolder folder;
    folder.Write("localGM", {"pc1", "old1", "old2"});
    folder.Write("pc1", {"pc1", "pc9"});
    folder.Write("liste.ip", {"pc1 10.0.0.5", "pc2 10.0.0.6", "old1 10.0.0.7", "old2 10.0.0.8"});
    korvane::KorvaneApp& app = folder.Start();
    const std::size_t maps = folder.View().maps.size();
    EXPECT_FALSE(app.IntakeOk({"", "pc 3", "pc2"}));
    ASSERT_EQ(folder.View().warnings.size(), 1u);
    EXPECT_TRUE(folder.View().warnings[0].starts_with("Ligne 2 : « pc 3 »"))
        << folder.View().warnings[0];
    EXPECT_EQ(folder.Read("localGM"), (TextList{"pc1", "old1", "old2"}));
    EXPECT_FALSE(folder.Exists("pc2"));
    EXPECT_EQ(folder.View().maps.size(), maps);  // nothing changed, nothing drawn

    EXPECT_TRUE(app.IntakeOk({"pc2", "pc1"}));
    EXPECT_EQ(folder.Read("localGM"), (TextList{"pc2", "pc1"}));
    EXPECT_EQ(folder.Read("pc1"), (TextList{"pc1", "pc9"}));
    EXPECT_EQ(folder.Read("pc2"), TextList{"pc2"});
    const korvane::MapState& map = folder.View().Map();
    EXPECT_TRUE(map.rebuild);
    ASSERT_EQ(map.entries.size(), 2u);
    EXPECT_EQ(map.entries[0].caption, "PC2");
    EXPECT_EQ(map.entries[0].address, "10.0.0.6");
    EXPECT_EQ(map.entries[1].caption, "PC1");
}

}  // namespace
