// The power commands outside their window: both forms of the wake-up and
// shutdown lines, the refusals that keep unsafe text out of scripts, and the
// authentication file's checks.
#include "power.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_folder.h"

namespace {

using korvane::Os;
using korvane::PowerCommand;
using korvane::ToolPaths;
using testing_support::TempFolder;

const ToolPaths kWindowsPaths{"D:\\Tools\\", "c:\\"};
const ToolPaths kPosixPaths{"/opt/korvane/", "/run/user/1000/korvane/"};

TEST(PowerScripts, WindowsBatchFilesAreExact) {
    struct Case {
        PowerCommand command;
        std::string path;
        std::string text;
    };
    for (const Case& c : std::vector<Case>{
             {korvane::PowerUpCommand(Os::Windows, kWindowsPaths, "Pc1", "00-1A-2B-3C-4D-5E",
                                      "192.168.1.5"),
              "D:\\Tools\\powerupPc1.bat",
              "wolcmd 00-1A-2B-3C-4D-5E 192.168.1.5 255.255.255.0\r\n"},
             {korvane::PowerUpCommand(Os::Windows, kWindowsPaths, "pc2", "001a2b3c4d5e", ""),
              "D:\\Tools\\poweruppc2.bat", "wolcmd 001a2b3c4d5e 255.255.255.255 255.255.255.0\r\n"},
             {korvane::ShutdownCommand(Os::Windows, kWindowsPaths, "Pc1", "192.168.1.5"),
              "D:\\Tools\\shutdnPc1.bat", "shutdown -s -f -t 30 -m \\\\192.168.1.5\r\n"},
         }) {
        EXPECT_FALSE(c.command.Refused()) << c.command.refusal;
        EXPECT_EQ(c.command.scriptPath, c.path);
        EXPECT_EQ(c.command.scriptText, c.text);
        EXPECT_EQ(c.command.commandLine + "\r\n", c.text);
    }
}

// The preferences' delay and comment reach both forms; the defaults give the
// lines above, and a comment is one argument whatever it holds.
TEST(PowerScripts, ShutdownDelayAndCommentInBothForms) {
    struct Case {
        Os os;
        korvane::ShutdownSettings settings;
        std::string line;
    };
    const std::string hostile = "l'arrêt \"$(touch /tmp/x)\"; `id` 100%";
    for (const Case& c : std::vector<Case>{
             {Os::Windows, {}, "shutdown -s -f -t 30 -m \\\\10.0.0.5"},
             {Os::Windows,
              {0, "Sauvegardez à 100%"},
              "shutdown -s -f -t 0 -c \"Sauvegardez à 100%%\" -m \\\\10.0.0.5"},
             {Os::Posix,
              {},
              "net rpc shutdown -f -t 30 -I 10.0.0.5 -A '/opt/korvane/shutdown.auth'"},
             {Os::Posix,
              {600, hostile},
              "net rpc shutdown -f -t 600 -C 'l'\\''arrêt \"$(touch /tmp/x)\"; `id` 100%' -I "
              "10.0.0.5 "
              "-A '/opt/korvane/shutdown.auth'"},
         }) {
        const ToolPaths& paths = c.os == Os::Windows ? kWindowsPaths : kPosixPaths;
        const PowerCommand command =
            korvane::ShutdownCommand(c.os, paths, "pc1", "10.0.0.5", c.settings);
        EXPECT_FALSE(command.Refused()) << command.refusal;
        EXPECT_EQ(command.commandLine, c.line);
    }
    // What no form can carry is refused before any script is written.
    for (const auto& [os, comment] :
         std::vector<std::pair<Os, std::string>>{{Os::Posix, "ligne 1\nrm -rf ~"},
                                                 {Os::Windows, "tab\there"},
                                                 {Os::Windows, "dit \"non\" & del *"},
                                                 {Os::Posix, std::string(513, 'a')}}) {
        const PowerCommand command =
            korvane::ShutdownCommand(os, kPosixPaths, "pc1", "10.0.0.5", {30, comment});
        EXPECT_TRUE(command.Refused()) << comment;
        EXPECT_TRUE(command.scriptText.empty());
        EXPECT_NE(command.refusal.find("« pc1 »"), std::string::npos) << command.refusal;
    }
}

TEST(PowerScripts, PosixScriptsRunThisProjectsWolcmdAndSambasNet) {
    const PowerCommand up =
        korvane::PowerUpCommand(Os::Posix, kPosixPaths, "pc1", "02:4b:52:00:00:11", "198.18.0.11");
    EXPECT_EQ(up.scriptPath, "/opt/korvane/poweruppc1.sh");
    EXPECT_EQ(up.scriptText, "'/opt/korvane/wolcmd' 02:4b:52:00:00:11 198.18.0.11 255.255.255.0\n");
    const PowerCommand noAddress =
        korvane::PowerUpCommand(Os::Posix, kPosixPaths, "pc1", "024b52000011", "");
    EXPECT_EQ(noAddress.commandLine,
              "'/opt/korvane/wolcmd' 024b52000011 255.255.255.255 255.255.255.0");
    const PowerCommand down =
        korvane::ShutdownCommand(Os::Posix, kPosixPaths, "pc1", "198.18.0.11");
    EXPECT_EQ(down.scriptPath, "/opt/korvane/shutdnpc1.sh");
    EXPECT_EQ(down.scriptText,
              "net rpc shutdown -f -t 30 -I 198.18.0.11 -A '/opt/korvane/shutdown.auth'\n");
    EXPECT_EQ(korvane::LaunchedLine(down.commandLine),
              "commande lancée : net rpc shutdown -f -t 30 -I 198.18.0.11 -A "
              "'/opt/korvane/shutdown.auth'");
}

// A refused command carries a message naming the entry and writes nothing.
TEST(PowerScripts, UnsafeNamesAddressesAndMacsAreRefused) {
    struct Case {
        PowerCommand command;
        std::string named;
    };
    const char* mac = "02-4B-52-00-00-11";
    for (const Case& c : std::vector<Case>{
             {korvane::PowerUpCommand(Os::Posix, kPosixPaths, "pc1;reboot", mac, "10.0.0.1"),
              "« pc1;reboot »"},
             {korvane::PowerUpCommand(Os::Windows, kWindowsPaths, "../pc1", mac, "10.0.0.1"),
              "« ../pc1 »"},
             {korvane::PowerUpCommand(Os::Posix, kPosixPaths, "pc1", "", "10.0.0.1"),
              "wake-on-lan : pas d'adresse MAC pour pc1"},
             {korvane::PowerUpCommand(Os::Posix, kPosixPaths, "pc1", "02-4B & reboot", "10.0.0.1"),
              "adresse MAC invalide « 02-4B & reboot »"},
             {korvane::PowerUpCommand(Os::Windows, kWindowsPaths, "pc1", mac, "10.0.0.1 & x"),
              "adresse IP invalide « 10.0.0.1 & x »"},
             {korvane::ShutdownCommand(Os::Posix, kPosixPaths, "pc1", ""),
              "Arrêt de « pc1 » refusé : aucune adresse IP"},
             {korvane::ShutdownCommand(Os::Windows, kWindowsPaths, "pc1", "pc1.lan"),
              "adresse IP invalide « pc1.lan »"},
             {korvane::ShutdownCommand(Os::Posix, kPosixPaths, "-pc1", "10.0.0.1"), "« -pc1 »"},
         }) {
        EXPECT_TRUE(c.command.Refused()) << c.named;
        EXPECT_NE(c.command.refusal.find(c.named), std::string::npos) << c.command.refusal;
        EXPECT_TRUE(c.command.scriptPath.empty() && c.command.scriptText.empty()) << c.named;
    }
}

TEST(ShutdownAuth, OnlyAPlainFileOfOursThatNoOneElseMayRead) {
    TempFolder folder;
    const ToolPaths paths{folder.Path() + "/", ""};
    const std::string file = paths.programDir + korvane::kShutdownAuthFile;
    const auto problem = [&] { return korvane::ShutdownAuthProblem(Os::Posix, paths, "pc1"); };
    ASSERT_TRUE(problem());
    EXPECT_NE(problem()->find("est absent"), std::string::npos);
    EXPECT_NE(problem()->find("username = "), std::string::npos);
    EXPECT_NE(problem()->find("chmod 600 '" + file + "'"), std::string::npos);
    EXPECT_FALSE(korvane::ShutdownAuthProblem(Os::Windows, paths, "pc1"));

    testing_support::WriteBytes(file, "username = root\npassword = x\n");
    for (const auto& [mode, refused] : std::vector<std::pair<mode_t, bool>>{
             {0600, false}, {0400, false}, {0640, true}, {0604, true}, {0620, true}}) {
        ASSERT_EQ(chmod(file.c_str(), mode), 0);
        EXPECT_EQ(problem().has_value(), refused) << std::oct << mode;
    }
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
        EXPECT_NE(problem().value_or("").find("n'appartient pas"), std::string::npos);
        ASSERT_EQ(chown(file.c_str(), 0, 0), 0);
    }
    ASSERT_EQ(rename(file.c_str(), (file + ".vrai").c_str()), 0);
    ASSERT_EQ(symlink((file + ".vrai").c_str(), file.c_str()), 0);
    EXPECT_NE(problem().value_or("").find("n'est pas un fichier ordinaire"), std::string::npos);
}

}  // namespace
