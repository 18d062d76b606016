// Korvane's look-ups over liste.ip / liste.mac, and its two settings files.
#include "korvane/core/KrvVar.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

#include <filesystem>
#include <string>

#include "test_folder.h"
#include "tools.h"

namespace {

using korvane::KrvVar;
using korvane::Settings;
using testing_support::ReadBytes;
using testing_support::ScopedProgramDir;
using testing_support::TempFolder;
using testing_support::WriteBytes;
using toolkit::TextList;

// Runs one test in another current folder: krv.ini is opened by bare name.
class ScopedCwd {
  public:
    explicit ScopedCwd(const std::string& dir) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~ScopedCwd() { std::filesystem::current_path(previous_); }
    ScopedCwd(const ScopedCwd&) = delete;
    ScopedCwd& operator=(const ScopedCwd&) = delete;

  private:
    std::filesystem::path previous_;
};

// Only a whole name field (or address field for FindName) is a hit: a key
// that is part of another line never finds it, whatever the line order.
TEST(KrvLookup, OnlyWholeFieldsMatch) {
    const std::string longWord = "pc1" + std::string(300, 'x');
    const std::string longValue(300, 'v');
    struct Case {
        TextList lines;
        std::string key;
        std::string ip, mac, name;  // FindIP(key), FindMAC(key), FindName(key)
    } cases[] = {
        {{"pc10 192.168.1.12", "pc1 192.168.1.11"}, "pc1", "192.168.1.11", "192.168.1.11", ""},
        {{"pc10 192.168.1.12", "pc1 192.168.1.11"}, "192.168.1.1", "", "", ""},
        {{"pc10 192.168.1.12", "pc1 192.168.1.11"}, "192.168.1.11", "", "", "pc1"},
        {{"Pc1 192.168.1.5"}, "pC1", "192.168.1.5", "192.168.1.5", ""},
        {{"a pc1", "PC1 b"}, "pc1", "b", "b", "a"},
        {{"pc1.lan 10.0.0.5"}, "pc1", "", "", ""},
        {{"gw 10.0.0.1 ", "10.0.0.1"}, "10.0.0.1", "", "", "gw"},
        {{"pc1 00-11-22-33-44-55"}, "00-11-22-33-44-55", "", "", "pc1"},
        {{"pc1", "pc1-alone"}, "pc1", "", "", ""},
        {{"pc1 192.168.1.5", "nospace"}, "", "", "", ""},
        {{longWord + " 10.0.0.1"}, "10.0.0.1", "", "", longWord.substr(0, 255)},
        {{"pc1 " + longValue}, "pc1", longValue.substr(0, 255), longValue.substr(0, 255), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key + " in " + c.lines.front());
        EXPECT_EQ(korvane::FindIP(c.lines, c.key), c.ip);
        EXPECT_EQ(korvane::FindMAC(c.lines, c.key), c.mac);
        EXPECT_EQ(korvane::FindName(c.lines, c.key), c.name);
    }
}

TEST(KrvLookup, MembersSearchTheirOwnLists) {
    KrvVar krv;
    krv.IpList = {"pc1 192.168.1.5"};
    krv.MacList = {"pc1 00-11-22-33-44-55"};
    EXPECT_EQ(krv.FindIP("pc1"), "192.168.1.5");
    EXPECT_EQ(krv.FindMAC("pc1"), "00-11-22-33-44-55");
    EXPECT_EQ(krv.FindName("192.168.1.5"), "pc1");
    EXPECT_EQ(krv.FindName("00-11-22-33-44-55"), "");
}

TEST(KrvSettings, WholeNumbers) {
    int value = 0;
    EXPECT_TRUE(korvane::ParseWholeNumber("42", value));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(korvane::ParseWholeNumber("-7", value));
    EXPECT_EQ(value, -7);
    EXPECT_TRUE(korvane::ParseWholeNumber("+3", value));
    EXPECT_EQ(value, 3);
    for (const char* bad : {"", "+", "-", "abc", "4x", " 4", "4 ", "+-4", "0x10", "99999999999"}) {
        value = 11;
        EXPECT_FALSE(korvane::ParseWholeNumber(bad, value)) << bad;
        EXPECT_EQ(value, 11) << bad;
    }
}

TEST(KrvSettings, ParsedWithDefaults) {
    const Settings defaults = korvane::ParseSettings({});
    EXPECT_EQ(defaults.pdc, "");
    EXPECT_EQ(defaults.left, 100);
    EXPECT_EQ(defaults.top, 100);
    EXPECT_EQ(defaults.height, 300);
    EXPECT_EQ(defaults.nbyrow, 3);

    EXPECT_EQ(korvane::ParseSettings({"nbyrow=abc"}).nbyrow, 3);
    EXPECT_EQ(korvane::ParseSettings({"NBYROW=4"}).nbyrow, 4);
    EXPECT_EQ(korvane::ParseSettings({"nbyrow=0"}).nbyrow, 3);
    EXPECT_EQ(korvane::ParseSettings({"nbyrow=-2"}).nbyrow, 3);

    const Settings read = korvane::ParseSettings(
        {"ip=192.168.1.0", "Left=5", "left=9", "PDC=\\\\SRV=1", "esu=x", "top=-20", "height=4.5"});
    EXPECT_EQ(read.left, 5);
    EXPECT_EQ(read.top, -20);
    EXPECT_EQ(read.height, 300);
    EXPECT_EQ(read.pdc, "\\\\SRV=1");
    EXPECT_EQ(read.esu, "x");
}

TEST(KrvSettings, SixLinesInTheirOrder) {
    Settings settings;
    settings.pdc = "\\\\PDC";
    settings.esu = "e";
    settings.left = -4;
    settings.top = 12;
    settings.height = 480;
    settings.nbyrow = 5;
    EXPECT_EQ(korvane::SettingsLines(settings),
              (TextList{"pdc=\\\\PDC", "esu=e", "left=-4", "top=12", "height=480", "nbyrow=5"}));
    EXPECT_EQ(korvane::ParseSettings(korvane::SettingsLines(settings)).height, 480);
}

TEST(KrvSettings, EntrySettingsThreeLinesPerEntry) {
    EXPECT_EQ(korvane::EntrySettingsLines({"pc1", "bureau"}, 1),
              (TextList{"pc1", "bof", "bof", "bureau", "bof", "bof"}));
    EXPECT_EQ(korvane::EntrySettingsLines({"pc1", "bureau"}, -1), TextList{});
    EXPECT_EQ(korvane::EntrySettingsLines({"pc1", "bureau"}, 0), (TextList{"pc1", "bof", "bof"}));
    EXPECT_EQ(korvane::EntrySettingsLines({"pc1"}, 3), (TextList{"pc1", "bof", "bof"}));
}

TEST(KrvSettingsFile, MissingFileIsCreatedEmptyAndDefaultsApply) {
    TempFolder folder;
    ScopedCwd cwd(folder.Path());
    ScopedProgramDir programDir(folder.Path());
    KrvVar krv;
    krv.settings.left = 7;
    krv.settings.nbyrow = 9;
    krv.LoadSettings();
    EXPECT_EQ(krv.settings.left, 100);
    EXPECT_EQ(krv.settings.top, 100);
    EXPECT_EQ(krv.settings.height, 300);
    EXPECT_EQ(krv.settings.nbyrow, 3);
    ASSERT_TRUE(std::filesystem::exists(folder / "krv.ini"));
    EXPECT_EQ(ReadBytes(folder / "krv.ini"), "");
}

TEST(KrvSettingsFile, ReadByBareNameFromTheCurrentFolder) {
    TempFolder here, program;
    ScopedCwd cwd(here.Path());
    ScopedProgramDir programDir(program.Path());
    WriteBytes(here / "krv.ini", "left=5\r\nnbyrow=4\r\n");
    WriteBytes(program / "krv.ini", "left=9\r\n");
    KrvVar krv;
    krv.LoadSettings();
    EXPECT_EQ(krv.settings.left, 5);
    EXPECT_EQ(krv.settings.nbyrow, 4);

    // Missing here: the program folder's own file is not wiped.
    std::filesystem::remove(here / "krv.ini");
    krv.LoadSettings();
    EXPECT_EQ(krv.settings.left, 100);
    EXPECT_EQ(ReadBytes(program / "krv.ini"), "left=9\r\n");
}

// A krv.ini that is a FIFO would hang the start-up: refused at once, and the
// settings held are kept.
TEST(KrvSettingsFile, FifoIsRefusedAtOnceAndSettingsKept) {
    TempFolder folder;
    ScopedCwd cwd(folder.Path());
    ScopedProgramDir programDir(folder.Path());
    ASSERT_EQ(mkfifo((folder / "krv.ini").c_str(), 0600), 0);
    const testing_support::FifoFeeder feeder(folder / "krv.ini");
    KrvVar krv;
    krv.settings.left = 7;
    EXPECT_THROW(krv.LoadSettings(), toolkit::FileError);
    EXPECT_EQ(krv.settings.left, 7);
}

TEST(KrvSettingsFile, SaveWritesExactlySixLinesAndDropsOtherKeys) {
    TempFolder folder;
    ScopedProgramDir programDir(folder.Path());
    WriteBytes(folder / "krv.ini", "ip=192.168.1.0\r\nmasque=255.255.255.0\r\npdc=\\\\SRV\r\n");
    KrvVar krv;
    krv.settings = korvane::ParseSettings({"pdc=\\\\SRV", "nbyrow=4"});
    krv.SaveSettings(10, 20, 350);
    EXPECT_EQ(ReadBytes(folder / "krv.ini"),
              "pdc=\\\\SRV\r\nesu=\r\nleft=10\r\ntop=20\r\nheight=350\r\nnbyrow=4\r\n");
    EXPECT_EQ(krv.settings.height, 350);
}

TEST(KrvSettingsFile, SaveIntoAMissingFolderThrows) {
    TempFolder folder;
    ScopedProgramDir programDir(folder / "gone");
    KrvVar krv;
    try {
        krv.SaveSettings(1, 2, 3);
        FAIL() << "no FileError";
    } catch (const toolkit::FileError& error) {
        EXPECT_NE(std::string(error.what()).find("krv.ini"), std::string::npos) << error.what();
    }
    EXPECT_EQ(krv.settings.left, 100);  // not taken over when the write failed
}

// A full disk, for this process alone: a zero file-size limit stops every
// write, even root's.
TEST(KrvSettingsFile, SaveOnAFullDiskKeepsTheOldFile) {
    TempFolder folder;
    ScopedProgramDir programDir(folder.Path());
    WriteBytes(folder / "krv.ini", "left=5\r\n");
    KrvVar krv;
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit none{0, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &none);
    EXPECT_THROW(krv.SaveSettings(1, 2, 3), toolkit::FileError);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(ReadBytes(folder / "krv.ini"), "left=5\r\n");
    EXPECT_EQ(krv.settings.left, 100);
}

TEST(KrvSettingsFile, ListsAreLoadedOrCreatedEmpty) {
    TempFolder folder;
    EXPECT_EQ(korvane::LoadOrCreateList(folder / "liste.ip"), TextList{});
    ASSERT_TRUE(std::filesystem::exists(folder / "liste.ip"));
    EXPECT_EQ(ReadBytes(folder / "liste.ip"), "");
    WriteBytes(folder / "localGM", "pc1\r\nbureau\r\n");
    EXPECT_EQ(korvane::LoadOrCreateList(folder / "localGM"), (TextList{"pc1", "bureau"}));
    EXPECT_THROW(korvane::LoadOrCreateList(folder / "gone/liste.mac"), toolkit::FileError);
}

}  // namespace
