// The intake dialog without its window: the rows it offers, the names it
// accepts, and what OK writes.
#include "korvane/core/intake.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "korvane/core/names.h"
#include "test_folder.h"

namespace {

namespace fs = std::filesystem;
using korvane::KrvVar;
using testing_support::ReadBytes;
using testing_support::ScopedProgramDir;
using testing_support::TempFolder;
using testing_support::WriteBytes;
using toolkit::TextList;

// "192.168.1.N=pcN" for N = first .. last.
TextList Discovered(int first, int last) {
    TextList lines;
    for (int n = first; n <= last; ++n) {
        lines.push_back("192.168.1." + std::to_string(n) + "=pc" + std::to_string(n));
    }
    return lines;
}

std::vector<std::string> Names(const korvane::IntakeRows& rows) {
    std::vector<std::string> names;
    for (const auto& row : rows) names.push_back(row.name);
    return names;
}

TEST(IntakeRows, FirstSevenDiscoveredMachinesNotInTheMemo) {
    using Names7 = std::vector<std::string>;
    const Names7 blank(7, "");
    struct Case {
        const char* what;
        TextList discover;
        TextList memo;
        Names7 expected;
    };
    const Case cases[] = {
        {"nothing discovered", {}, {"pc1"}, blank},
        {"everything already managed", Discovered(1, 3), {"pc3", "pc1", "pc2"}, blank},
        {"ten new machines",
         Discovered(1, 10),
         {},
         {"pc1", "pc2", "pc3", "pc4", "pc5", "pc6", "pc7"}},
        {"the first moved to the memo",
         Discovered(1, 10),
         {"pc1"},
         {"pc2", "pc3", "pc4", "pc5", "pc6", "pc7", "pc8"}},
        {"a name differing only in case",
         Discovered(1, 3),
         {"PC2"},
         {"pc1", "pc3", "", "", "", "", ""}},
        {"an empty name",
         {"10.0.0.1=a", "10.0.0.2=", "10.0.0.3=b"},
         {},
         {"a", "", "b", "", "", "", ""}},
        {"an empty name and an empty memo line",
         {"10.0.0.1=a", "10.0.0.2=", "10.0.0.3=b"},
         {"x", ""},
         {"a", "b", "", "", "", "", ""}},
        {"a line without =", {"10.0.0.1", "10.0.0.3=b"}, {}, {"", "b", "", "", "", "", ""}},
        {"the name is all after the first =",
         {"10.0.0.1=a=b"},
         {},
         {"a=b", "", "", "", "", "", ""}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Names(korvane::FillIntakeRows(c.discover, c.memo, KrvVar{})), c.expected)
            << c.what;
    }
}

TEST(IntakeRows, AddressesComeFromTheLookUpsAndBlankRowsHaveNone) {
    KrvVar krv;
    krv.IpList = {"pc10 10.0.0.10", "pc1 10.0.0.1"};
    krv.MacList = {"PC1 02-00-00-00-00-01"};
    const auto rows = korvane::FillIntakeRows({"10.0.0.1=pc1", "10.0.0.2=pc2"}, {}, krv);
    // Only a whole name is a hit: pc1 never takes the pc10 line listed before it.
    EXPECT_EQ(rows[0], (korvane::IntakeRow{"pc1", "10.0.0.1", "02-00-00-00-00-01", ""}));
    EXPECT_EQ(rows[1], (korvane::IntakeRow{"pc2", "", "", ""}));
    EXPECT_EQ(rows[2], korvane::IntakeRow{});
}

TEST(IntakeMemo, TextSplitsBackIntoTheSameLines) {
    const TextList cases[] = {{}, {""}, {"pc1"}, {"pc1", ""}, {"", "pc1"}, {"a", "", "b", "", ""}};
    for (const TextList& lines : cases) {
        EXPECT_EQ(toolkit::SplitLines(korvane::MemoText(lines)), lines) << lines.size();
    }
}

TEST(IntakeNames, OnlyPlainFileNamesInsideTheFolder) {
    const std::string longest(255, 'a');
    for (const std::string& good :
         std::vector<std::string>{"pc1", "PC-Salon", "serveur.nas", "a_b", "9", longest,
                                  "Comptabilité"}) {
        EXPECT_TRUE(korvane::IsValidEntryName(good)) << good;
    }
    for (const std::string& bad :
         std::vector<std::string>{"", "-rf", ".hidden", "..", "../pc1", "a/b", "pc 1", "pc1 ",
                                  "a\tb", "a\\b", "a*", longest + "a"}) {
        EXPECT_FALSE(korvane::IsValidEntryName(bad)) << bad;
    }
}

TEST(IntakeNames, CheckNamesTheFirstBadLineAndSkipsEmptyOnes) {
    EXPECT_FALSE(korvane::CheckIntakeLines({"pc1", "", "serveur.nas"}));
    const struct {
        TextList memo;
        std::string named;
    } cases[] = {
        {{"pc1", "", "../etc/passwd", "x y"}, "Ligne 3 : « ../etc/passwd » ne peut pas"},
        {{"pc1", "NetSweep.lck"}, "Ligne 2 : « NetSweep.lck » est le nom d'un fichier de Korvane"},
        {{"WOLCMD.COM"},
         "Ligne 1 : « WOLCMD.COM » ne peut pas devenir un nom d'ordinateur : Windows le prendrait "
         "pour un périphérique ou un programme (pas de nom de périphérique"},
        {{std::string(1000, 'x') + " "}, "Ligne 1 : « " + std::string(60, 'x') + "… »"},
    };
    for (const auto& c : cases) {
        const auto bad = korvane::CheckIntakeLines(c.memo);
        ASSERT_TRUE(bad) << c.named;
        EXPECT_EQ(bad->rfind(c.named, 0), 0u) << *bad;
    }
}

class IntakeSave : public testing::Test {
  protected:
    std::string Path(const std::string& name) const { return folder / name; }
    bool Exists(const std::string& name) const { return fs::exists(Path(name)); }
    std::size_t FileCount() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder.Path()), {}));
    }

    TempFolder folder;
    ScopedProgramDir dir{folder.Path() + "/"};
    KrvVar krv;
};

TEST_F(IntakeSave, EmptyMemoLeavesLocalGMAloneAndCreatesNothing) {
    WriteBytes(Path("localGM"), "pc1\r\npc2\r\n");
    EXPECT_FALSE(korvane::SaveIntake({}, krv));
    EXPECT_EQ(ReadBytes(Path("localGM")), "pc1\r\npc2\r\n");
    EXPECT_EQ(krv.ManagedList, (TextList{"pc1", "pc2"}));
    EXPECT_EQ(FileCount(), 1u);
}

TEST_F(IntakeSave, NewEntriesGetTheirOneLineGroupFileAndOldOnesAreLeft) {
    WriteBytes(Path("localGM"), "bureau\r\n");
    WriteBytes(Path("bureau"), "pc1\r\npc2\r\n");
    EXPECT_FALSE(korvane::SaveIntake({"bureau", "", "pc-salon", "pc-salon", "Serveur"}, krv));
    EXPECT_EQ(ReadBytes(Path("localGM")), "bureau\r\n\r\npc-salon\r\npc-salon\r\nServeur\r\n");
    EXPECT_EQ(krv.ManagedList, (TextList{"bureau", "", "pc-salon", "pc-salon", "Serveur"}));
    EXPECT_EQ(ReadBytes(Path("bureau")), "pc1\r\npc2\r\n");
    EXPECT_EQ(ReadBytes(Path("pc-salon")), "pc-salon\r\n");
    EXPECT_EQ(ReadBytes(Path("Serveur")), "Serveur\r\n");
    EXPECT_EQ(FileCount(), 4u);
}

TEST_F(IntakeSave, BadLineWritesNothing) {
    WriteBytes(Path("localGM"), "pc1\r\n");
    const auto failure = korvane::SaveIntake({"pc2", "../pc3", "pc4"}, krv);
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->find("« ../pc3 »"), std::string::npos) << *failure;
    EXPECT_EQ(ReadBytes(Path("localGM")), "pc1\r\n");
    EXPECT_EQ(FileCount(), 1u);
    EXPECT_FALSE(fs::exists(folder.Path() + "/../pc3"));
    EXPECT_TRUE(krv.ManagedList.empty());
}

TEST_F(IntakeSave, FailedWritesAreToldAndOKAgainFinishesTheJob) {
    // localGM cannot be replaced: nothing else is written.
    fs::create_directory(Path("localGM"));
    auto failure = korvane::SaveIntake({"pc1"}, krv);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->rfind("La liste des ordinateurs gérés n'a pas été enregistrée ; l'ancien "
                             "fichier localGM est conservé.",
                             0),
              0u)
        << *failure;
    EXPECT_FALSE(Exists("pc1"));
    fs::remove(Path("localGM"));

    // A group file cannot be created: the others are, and the failure is named.
    fs::create_directory(Path("pc2"));
    failure = korvane::SaveIntake({"pc1", "pc2", "pc3"}, krv);
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->find(Path("pc2")), std::string::npos) << *failure;
    EXPECT_EQ(ReadBytes(Path("localGM")), "pc1\r\npc2\r\npc3\r\n");
    EXPECT_EQ(ReadBytes(Path("pc1")), "pc1\r\n");
    EXPECT_EQ(ReadBytes(Path("pc3")), "pc3\r\n");
    fs::remove(Path("pc2"));
    EXPECT_FALSE(korvane::SaveIntake({"pc1", "pc2", "pc3"}, krv));
    EXPECT_EQ(ReadBytes(Path("pc2")), "pc2\r\n");
}

}  // namespace
