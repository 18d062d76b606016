// Entry names, the preferences' number per row, renaming an entry.
#include "commands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "KrvVar.h"
#include "names.h"
#include "platform/platform.h"
#include "test_folder.h"

namespace {

using testing_support::TempFolder;
using toolkit::TextList;

TEST(EntryNames, LettersDigitsDotDashUnderscoreNotLeadingDashOrDot) {
    for (const std::string& good : std::vector<std::string>{"pc1", "PC-SALON", "serveur_nas.maison",
                                                            "1", std::string(255, 'a')}) {
        EXPECT_TRUE(korvane::IsValidEntryName(good)) << good;
    }
    for (const std::string& bad :
         std::vector<std::string>{"", "-rf", ".", "..", ".cache", "../x", "a/b", "pc 1", "pc;1",
                                  "pc$(x)", "pé", std::string(256, 'a'), std::string("a\0b", 3)}) {
        EXPECT_FALSE(korvane::IsValidEntryName(bad)) << bad;
    }
    for (const char* reserved : {"localGM", "LOCALgm", "krv.ini", "etats", "shutdown.auth",
                                 "wol.followup", "ecran-on.bmp", "netsweep.exe", "wolcmd"}) {
        EXPECT_TRUE(korvane::IsReservedFileName(reserved)) << reserved;
    }
    EXPECT_FALSE(korvane::IsReservedFileName("bureau"));
}

TEST(EntriesPerRow, WholeNumbersFromOneToThirtyTwo) {
    for (const auto& [text, accepted] :
         std::vector<std::pair<const char*, bool>>{{"4", true},
                                                   {"1", true},
                                                   {"32", true},
                                                   {"+2", true},
                                                   {"-", false},
                                                   {"0", false},
                                                   {"-3", false},
                                                   {"33", false},
                                                   {"4.5", false},
                                                   {"", false},
                                                   {"quatre", false}}) {
        int value = 99;
        EXPECT_EQ(korvane::ParseEntriesPerRow(text, value), accepted) << text;
        if (!accepted) {
            EXPECT_EQ(value, 99) << text;
        }
    }
}

TEST(Rename, RefusedForBadReservedTakenOrExistingNames) {
    TempFolder folder;
    const std::string dir = folder.Path() + "/";
    toolkit::SaveLines(dir + "notes", {"x"});
    const TextList managed = {"pc1", "bureau"};
    for (const auto& [name, named] :
         std::vector<std::pair<std::string, std::string>>{{"pc 2", "« pc 2 » ne peut servir"},
                                                          {"../pc2", "ne peut servir"},
                                                          {"localGM", "fichier du programme"},
                                                          {"BUREAU", "autre entrée"},
                                                          {"notes", "existe déjà"}}) {
        EXPECT_NE(korvane::RenameProblem(managed, 0, name, dir).find(named), std::string::npos)
            << name;
    }
    EXPECT_EQ(korvane::RenameProblem(managed, 0, "PC1", dir), "");
    EXPECT_EQ(korvane::RenameProblem(managed, 1, "salon", dir), "");
}

// Moving and saving are seen through the window's "Renommer"; here the one
// rule the window cannot show: a move never replaces a file.
TEST(Rename, GroupFileIsNeverMovedOverAnotherFile) {
    TempFolder folder;
    toolkit::SaveLines(folder / "bureau", {"pc1"});
    toolkit::SaveLines(folder / "autre", {"keep"});
    EXPECT_NE(toolkit::platform::MoveFileNoReplace(folder / "bureau", folder / "autre"), 0);
    EXPECT_EQ(toolkit::LoadLines(folder / "autre"), (TextList{"keep"}));
    EXPECT_EQ(toolkit::platform::MoveFileNoReplace(folder / "bureau", folder / "salon"), 0);
}

}  // namespace
