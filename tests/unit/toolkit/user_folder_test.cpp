// The program folder of an installed Korvane: each user's own, linked to the
// shared programs; a folder without the marker stays the program folder.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/platform.h"
#include "test_folder.h"
#include "usage.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::TempFolder;

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

// A shared installation: two programs, a bitmap, and the marker.
std::string MakeInstallation(const TempFolder& root, bool perUser) {
    const std::string dir = root / "usr-lib-korvane";
    fs::create_directories(dir);
    for (const char* name : {"korvane", "netsweep", "led-vert.bmp"})
        WriteFile(dir + "/" + name, name);
    if (perUser) WriteFile(dir + "/" + toolkit::platform::kPerUserMarker, "");
    return dir + "/";
}

TEST(UserProgramDir, EachUserGetsAFolderLinkedToTheInstallation) {
    TempFolder root;
    const std::string installed = MakeInstallation(root, true);
    struct Case {
        std::optional<std::string> xdgDataHome;
        std::string expected;
    };
    const Case cases[] = {
        {root / "donnees", root / "donnees/korvane/"},
        {std::nullopt, root / "maison/.local/share/korvane/"},
        {"relatif/donnees", root / "maison/.local/share/korvane/"},  // ignored, as XDG says
        {"", root / "maison/.local/share/korvane/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xdgDataHome.value_or("(absent)"));
        ScopedEnv home("HOME", root / "maison");
        ScopedEnv data("XDG_DATA_HOME", c.xdgDataHome);
        EXPECT_EQ(toolkit::platform::UserProgramDir(installed), c.expected);
        struct stat info {};
        ASSERT_EQ(stat(c.expected.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        for (const char* name : {"korvane", "netsweep", "led-vert.bmp"}) {
            EXPECT_EQ(fs::read_symlink(c.expected + name), fs::path(installed + name)) << name;
        }
        EXPECT_FALSE(
            fs::exists(fs::symlink_status(c.expected + toolkit::platform::kPerUserMarker)));
    }
}

TEST(UserProgramDir, LaterStartsKeepTheUsersFilesAndFollowTheInstallation) {
    TempFolder root;
    const std::string installed = MakeInstallation(root, true);
    ScopedEnv data("XDG_DATA_HOME", root / "donnees");
    const std::string folder = toolkit::platform::UserProgramDir(installed);
    WriteFile(folder + "localGM", "PC1\r\n");
    fs::remove(folder + "netsweep");
    WriteFile(folder + "netsweep", "le fichier de l'utilisateur");  // never replaced
    fs::remove(folder + "korvane");
    fs::create_symlink("/ailleurs/korvane", folder + "korvane");  // an older installation
    WriteFile(installed + "wolcmd", "wolcmd");                    // an upgrade's new program

    EXPECT_EQ(toolkit::platform::UserProgramDir(installed), folder);
    EXPECT_EQ(testing_support::ReadBytes(folder + "localGM"), "PC1\r\n");
    EXPECT_EQ(testing_support::ReadBytes(folder + "netsweep"), "le fichier de l'utilisateur");
    EXPECT_EQ(fs::read_symlink(folder + "korvane"), fs::path(installed + "korvane"));
    EXPECT_EQ(fs::read_symlink(folder + "wolcmd"), fs::path(installed + "wolcmd"));
}

TEST(UserProgramDir, AFolderWithoutTheMarkerIsTheProgramFolder) {
    TempFolder root;
    const std::string installed = MakeInstallation(root, false);
    ScopedEnv data("XDG_DATA_HOME", root / "donnees");
    EXPECT_EQ(toolkit::platform::UserProgramDir(installed), installed);
    EXPECT_FALSE(fs::exists(root / "donnees"));
}

TEST(InfoOptions, HelpAndVersionAnswerOnlyAsFirstArgument) {
    struct Case {
        std::vector<const char*> argv;
        std::optional<int> status;
        std::string out;
    };
    const std::string footer =
        "Options : --help affiche cette aide, --version affiche la version ; "
        "toutes deux finissent avec le code 0.\n";
    const Case cases[] = {
        {{"prog", "--help"}, 0, "Utilisation : prog\n" + footer},
        {{"prog", "--version", "x"}, 0, "prog (Korvane) " + std::string(KORVANE_VERSION) + "\n"},
        {{"prog"}, std::nullopt, ""},
        {{"prog", "noscan", "--help"}, std::nullopt, ""},
        {{"prog", "-h"}, std::nullopt, ""},
        {{"prog", "--Version"}, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        EXPECT_EQ(toolkit::AnswerInfoOption(static_cast<int>(c.argv.size()), c.argv.data(), "prog",
                                            "Utilisation : prog\n", out),
                  c.status);
        EXPECT_EQ(out.str(), c.out);
    }
}

}  // namespace
