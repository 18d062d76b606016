// The network map as the app gives it to the view: each cell's texts, its
// state from the latest poll, the entries the map leaves out, and what a
// drawing reads (nothing: only what the app holds).
#include <gtest/gtest.h>

#include "app_folder.h"

namespace {

using app_testing::AppFolder;
using toolkit::TextList;

class MapTest : public testing::Test {
  protected:
    void SetUp() override {
        folder.Write("localGM", {"pc1", "pc2", "pc3", "pc4"});
        folder.Write("liste.ip", {"pc1 10.0.0.5", "pc2 10.0.0.6", "pc3 10.0.0.7", "pc4 10.0.0.8"});
        folder.Write("liste.mac", {"PC1 02-00-00-00-00-05"});
    }
    std::vector<bool> Shown() const { return folder.View().Of(&korvane::MapEntry::shown); }

    AppFolder folder;
};

// States come from etats by name or by address, case ignored; names are
// shown in upper case as they are, markup included.
TEST_F(MapTest, CellsShowTheEntriesTextsAndTheirStates) {
    folder.Write("localGM", {"pc1", "pc2", "pc3", "pc4", "<b>pc5</b>"});
    folder.Write("etats", {"PC1=1", "10.0.0.6=1", "pc3=0", "pc4=1 "});
    folder.Start();
    const korvane::MapState& map = folder.View().Map();
    EXPECT_EQ(map.nbyrow, 3);
    EXPECT_EQ(map.height, 300);
    EXPECT_FALSE(map.rebuild);
    EXPECT_FALSE(map.gateway.known);  // a private namespace has no gateway
    ASSERT_EQ(map.entries.size(), 5u);
    const korvane::MapEntry first{"PC1", "10.0.0.5", "02-00-00-00-00-05", true, true, "", false};
    EXPECT_EQ(map.entries[0], first);
    EXPECT_EQ(folder.View().Of(&korvane::MapEntry::up),
              (std::vector<bool>{true, true, false, false, false}));
    EXPECT_EQ(map.entries[4].caption, "<B>PC5</B>");
    EXPECT_EQ(map.entries[4].address, "");
}

// A computer at the gateway's, the DNS server's or the DHCP server's address
// is left out; an entry known by its name alone is always shown.
TEST_F(MapTest, EntriesAtTheServersAddressesAreLeftOut) {
    folder.Write("localGM", {"pc1", "pc2", "pc3", "pc4", "inconnu"});
    const struct {
        const char* gateway;
        const char* dns;
        const char* dhcp;
        std::vector<bool> shown;
    } cases[] = {
        {"", "", "", {true, true, true, true, true}},
        {"10.0.0.5", "10.0.0.6", "10.0.0.7", {false, false, false, true, true}},
        {"10.9.9.9", "10.9.9.9", "10.9.9.9", {true, true, true, true, true}},
    };
    for (const auto& c : cases) {
        folder.SetAdapter(c.gateway, c.dns, c.dhcp);
        folder.Start();
        EXPECT_EQ(Shown(), c.shown) << c.gateway;
    }
    folder.SetAdapter("10.0.0.5");
    folder.Start();
    const korvane::MapGateway& gateway = folder.View().Map().gateway;
    EXPECT_TRUE(gateway.known);
    EXPECT_EQ(gateway.name, "pc1");
    EXPECT_EQ(gateway.address, "10.0.0.5");
}

// A drawing takes the plan, the protected list, the comments and the states
// from what the app holds: the files are read again at the ticks (the plan's
// every 15 s, the poll's every 10 s), never while drawing.
TEST_F(MapTest, DrawingReadsNoFile) {
    folder.InstallHostpingStandIn();
    korvane::KorvaneApp& app = folder.Start();
    ASSERT_TRUE(folder.Settle());
    folder.Write("liste.protegees", {"pc1"});
    folder.Write("liste.planning", {"pc2;7:00;0:00"});
    folder.Write("etats", {"pc1=1"});
    folder.Write("localGM", {"pc9"});
    app.SetComment(1, "bureau");  // draws the map again
    const auto cell = [&](std::size_t entry) { return folder.View().Cell(entry); };
    EXPECT_EQ(folder.View().Map().entries.size(), 4u);
    EXPECT_FALSE(cell(0).isProtected);
    EXPECT_FALSE(cell(0).up);
    EXPECT_EQ(cell(1).hint, "bureau");

    app.TimerPlanTimer();  // the plan and the protected list
    app.SetComment(1, "bureau");
    EXPECT_TRUE(cell(0).isProtected);
    EXPECT_TRUE(cell(1).hint.starts_with("bureau\nProchaine action : allumage à 7:00"))
        << cell(1).hint;
    EXPECT_FALSE(cell(0).up);

    folder.Write("answers", {"10.0.0.5=1"});
    folder.Poll();  // the states
    EXPECT_TRUE(cell(0).up);
    EXPECT_EQ(folder.View().Map().entries.size(), 4u);  // the inventory is read at the start
}

}  // namespace
