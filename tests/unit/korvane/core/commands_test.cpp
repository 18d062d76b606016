// Entry names, the preferences' number per row, renaming an entry.
#include "korvane/core/commands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "korvane/core/KrvVar.h"
#include "korvane/core/intake.h"
#include "korvane/core/names.h"
#include "lists.h"
#include "platform/platform.h"
#include "test_folder.h"

namespace {

using testing_support::TempFolder;
using toolkit::TextList;

// Names are file names and list keys: letters of any script are fine, what
// would split a list line, leave the folder or hide the file is not.
TEST(EntryNames, LettersOfAnyScriptDigitsDotDashUnderscoreNotLeadingDashOrDot) {
    for (const std::string& good : std::vector<std::string>{
             "pc1", "PC-SALON", "serveur_nas.maison", "1", std::string(255, 'a'), "pé",
             "Comptabilité", "ÉCOLE", "Ärzte-Büro", "Бухгалтерия", "会計", "Λογιστήριο",
             "مكتب"}) {
        EXPECT_TRUE(korvane::IsValidEntryName(good)) << good;
    }
    for (const std::string& bad : std::vector<std::string>{
             "", "-rf", ".", "..", ".cache", "../x", "a/b", "a\\b", "pc 1", "pc;1", "pc$(x)",
             "a*", std::string(256, 'a'), std::string("a\0b", 3), "a\tb",
             "pc\u00a01",          // no-break space
             "pc\u20031",          // em space
             "pc\u200b1",          // zero-width space
             "pc\u30001",          // ideographic space
             "pc\u00ab1\u00bb",   // guillemets
             "a\xc2\x85",          // next-line control
             "\xc3\xa9" + std::string(254, 'a'),  // 256 bytes
             "\xc3", "a\xe9" "b",     // not UTF-8: cut short, Latin-1
             "\xc0\xaf",           // an overlong "/"
             "\xed\xa0\x80"}) {   // a surrogate
        EXPECT_FALSE(korvane::IsValidEntryName(bad)) << bad;
    }
    for (const char* reserved :
         {"localGM",       "LOCALgm",         "krv.ini",           "etats",
          "shutdown.auth", "wol.followup",    "ecran-on.bmp",      "netsweep.exe",
          "wolcmd",        "powerupa.sh",     "shutdnpc1.sh",      "PowerUpX.BAT",
          "shutdn.bat",    "powerup.sh",      "Liste.Appareils",   "incidents.non-vus",
          "restartpc1.sh", "accesPC1.bat",    "liste.ssh",         "known_hosts",
          "korvane_ssh",   "korvane_ssh.pub", "notifications.ini", "Acces-Web.ini",
          "acces-web.key", "Par-Utilisateur", "console.txt"}) {
        EXPECT_TRUE(korvane::IsReservedFileName(reserved)) << reserved;
    }
    for (const char* free : {"bureau", "powerup", "shutdn-pc1", "poweruppc1.txt", "pc.sh"}) {
        EXPECT_FALSE(korvane::IsReservedFileName(free)) << free;
    }
}

// Windows takes some names for a device or a program whatever the folder:
// the group file of "nul" would go nowhere, and "attrib.bat" in the program
// folder would run in place of attrib for the batch files run there. Refused
// on every platform, since the lists are the same.
TEST(EntryNames, WindowsDevicesAndProgramsAreRefusedEverywhere) {
    for (const char* special : {"ATTRIB.BAT",   "attrib.bat",
                                "SHUTDOWN.BAT", "SSH.CMD",
                                "SC.BAT",       "WOLCMD.COM",
                                "hostping.exe", "x.Exe",
                                "a.ps1",        "b.vbs",
                                "b.vbe",        "c.js",
                                "c.jse",        "d.msc",
                                "e.wsf",        "e.wsh",
                                "f.cpl",        "g.scr",
                                "h.pif",        "pc1.cmd.",
                                "pc1.bat..",    "con",
                                "CON",          "Prn",
                                "aux",          "nul",
                                "nul.txt",      "NUL.",
                                "nul..",        "aux.tar.gz",
                                "com1",         "COM9",
                                "com0",         "lpt1",
                                "LPT9.log",     "lpt0",
                                "com5.",        "pc1.example.com"}) {
        EXPECT_TRUE(toolkit::IsWindowsSpecialName(special)) << special;
        EXPECT_FALSE(korvane::IsValidEntryName(special)) << special;
        EXPECT_FALSE(netsweep::IsUsableName(special)) << special;
        EXPECT_TRUE(korvane::CheckIntakeLines({"pc1", std::string(special)}).has_value())
            << special;
        testing_support::TempFolder folder;
        EXPECT_NE(korvane::RenameProblem({"pc1"}, 0, special, folder.Path() + "/"), "") << special;
    }
    for (const std::string& plain : std::vector<std::string>{
             "console", "conan", "nuls", "com10", "com", "lpt", "aux-1", "nul_x", "pc.com1",
             "pc1.txt", "combat", "exe", "bat.pc", "pc.exe1", "pc-cmd", "pc1.lan"}) {
        EXPECT_FALSE(toolkit::IsWindowsSpecialName(plain)) << plain;
        EXPECT_TRUE(korvane::IsValidEntryName(plain)) << plain;
    }
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
