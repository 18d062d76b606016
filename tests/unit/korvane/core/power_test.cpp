// The power commands outside their window: both forms of the wake-up and
// shutdown lines, the refusals that keep unsafe text out of scripts, and the
// authentication file's checks.
#include "korvane/core/power.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "test_folder.h"

namespace {

using korvane::Os;
using korvane::PowerAction;
using korvane::PowerCommand;
using korvane::PowerScript;
using korvane::ToolPaths;
using testing_support::TempFolder;
using toolkit::TextList;

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
              "\"D:\\Tools\\wolcmd.exe\" 00-1A-2B-3C-4D-5E 192.168.1.5 255.255.255.0\r\n"},
             {korvane::PowerUpCommand(Os::Windows, kWindowsPaths, "pc2", "001a2b3c4d5e", ""),
              "D:\\Tools\\poweruppc2.bat",
              "\"D:\\Tools\\wolcmd.exe\" 001a2b3c4d5e 255.255.255.255 255.255.255.0\r\n"},
             {korvane::PowerUpCommand(Os::Windows, {"D:\\R&D 100%\\", "c:\\"}, "pc2",
                                      "001a2b3c4d5e", "10.0.0.2"),
              "D:\\R&D 100%\\poweruppc2.bat",
              "\"D:\\R&D 100%%\\wolcmd.exe\" 001a2b3c4d5e 10.0.0.2 255.255.255.0\r\n"},
             {korvane::ShutdownCommand(Os::Windows, kWindowsPaths, "Pc1", "192.168.1.5"),
              "D:\\Tools\\shutdnPc1.bat",
              "\"%SystemRoot%\\System32\\shutdown.exe\" -s -f -t 30 -m \\\\192.168.1.5\r\n"},
             {korvane::ShutdownCommand(Os::Windows, kWindowsPaths, "Pc1", "192.168.1.5", {},
                                       PowerAction::TestAccess),
              "D:\\Tools\\accesPc1.bat",
              "\"%SystemRoot%\\System32\\sc.exe\" \\\\192.168.1.5 query RemoteRegistry\r\n"},
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
    const std::string shutdownExe = "\"%SystemRoot%\\System32\\shutdown.exe\"";
    for (const Case& c : std::vector<Case>{
             {Os::Windows, {}, shutdownExe + " -s -f -t 30 -m \\\\10.0.0.5"},
             {Os::Windows,
              {0, "Sauvegardez à 100%"},
              shutdownExe + " -s -f -t 0 -c \"Sauvegardez à 100%%\" -m \\\\10.0.0.5"},
             // A comment ending in backslashes keeps them, doubled before
             // the closing quote so that the quote still ends it.
             {Os::Windows,
              {30, "Dossier : C:\\Partage\\"},
              shutdownExe + " -s -f -t 30 -c \"Dossier : C:\\Partage\\\\\" -m \\\\10.0.0.5"},
             {Os::Windows,
              {30, "a\\b\\\\\\"},
              shutdownExe + " -s -f -t 30 -c \"a\\b\\\\\\\\\\\\\" -m \\\\10.0.0.5"},
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

// liste.ip and liste.mac may hold blanks after a value; the poll ignores
// them, and so do the commands.
TEST(PowerScripts, ValuesAreUsedWithoutTheirSurroundingBlanks) {
    const PowerCommand up =
        korvane::PowerUpCommand(Os::Posix, kPosixPaths, "pc1", " 02-4B-52-00-00-11\t", "10.0.0.5 ");
    EXPECT_EQ(up.commandLine, "'/opt/korvane/wolcmd' 02-4B-52-00-00-11 10.0.0.5 255.255.255.0");
    const PowerCommand down = korvane::ShutdownCommand(Os::Posix, kPosixPaths, "pc1", "10.0.0.5 ");
    EXPECT_EQ(down.commandLine,
              "net rpc shutdown -f -t 30 -I 10.0.0.5 -A '/opt/korvane/shutdown.auth'");
    EXPECT_TRUE(korvane::ShutdownCommand(Os::Posix, kPosixPaths, "pc1", "  ").Refused());
}

// The packet goes to the broadcast address of the LAN the computer is on:
// its real mask when a local network holds the address, else a /24.
TEST(WakeMask, TheMaskOfTheLocalNetworkHoldingTheAddress) {
    const TextList addresses{"127.0.0.1", "10.1.2.3", "192.168.1.2", "172.16.0.9"};
    const TextList masks{"255.0.0.0", "255.255.240.0", "255.255.255.0", "255.255.255.255"};
    for (const auto& [ip, mask] : std::vector<std::pair<std::string, std::string>>{
             {"10.1.15.200", "255.255.240.0"},  // same /20, another /24
             {"10.1.16.1", "255.255.255.0"},    // just outside the /20
             {"192.168.1.77", "255.255.255.0"},
             {"127.0.0.5", "255.255.255.0"},   // loopback is no LAN
             {"172.16.0.9", "255.255.255.0"},  // a /32 holds no other computer
             {"8.8.8.8", "255.255.255.0"},
             {"255.255.255.255", "255.255.255.0"},
             {"pc1", "255.255.255.0"}}) {
        EXPECT_EQ(korvane::WakeMask(ip, addresses, masks), mask) << ip;
    }
    EXPECT_EQ(korvane::PowerUpCommand(Os::Posix, kPosixPaths, "pc1", "024b52000011", "10.1.15.200",
                                      "255.255.240.0")
                  .commandLine,
              "'/opt/korvane/wolcmd' 024b52000011 10.1.15.200 255.255.240.0");
}

TEST(PowerGroups, AGroupFileListingSeveralComputersMakesTheEntryAGroup) {
    for (const auto& [groupFile, targets] :
         std::vector<std::pair<TextList, TextList>>{{{}, {"bureau"}},
                                                    {{"bureau"}, {"bureau"}},
                                                    {{"10.0.0.9"}, {"bureau"}},
                                                    {{"pc1", ""}, {"bureau"}},
                                                    {{"pc1", "", " pc10 "}, {"pc1", "pc10"}}}) {
        EXPECT_EQ(korvane::PowerTargets("bureau", groupFile), targets) << groupFile.size();
    }
}

// One line per computer that can be given its command; the others are named.
TEST(PowerGroups, OneLinePerComputerAndTheRefusedOnesNamed) {
    const TextList computers{"pc1", "pc2", "pc3"};
    const std::vector<PowerCommand> commands{
        korvane::ShutdownCommand(Os::Posix, kPosixPaths, "pc1", "10.0.0.1"),
        korvane::ShutdownCommand(Os::Posix, kPosixPaths, "pc2", ""),
        korvane::ShutdownCommand(Os::Posix, kPosixPaths, "pc3", "10.0.0.3")};
    const PowerScript script = korvane::ComposePowerScript(
        Os::Posix, kPosixPaths, PowerAction::Shutdown, "bureau", computers, commands, {});
    EXPECT_FALSE(script.Refused());
    EXPECT_EQ(script.scriptPath, "/opt/korvane/shutdnbureau.sh");
    EXPECT_EQ(script.computers, (TextList{"pc1", "pc3"}));
    EXPECT_EQ(script.scriptText, commands[0].commandLine + "\n" + commands[2].commandLine + "\n");
    ASSERT_EQ(script.leftOut.size(), 1u);
    EXPECT_NE(script.leftOut[0].find("« pc2 »"), std::string::npos) << script.leftOut[0];

    const PowerScript none = korvane::ComposePowerScript(
        Os::Posix, kPosixPaths, PowerAction::Shutdown, "bureau", {"pc2"}, {commands[1]}, {});
    EXPECT_TRUE(none.Refused());
    EXPECT_NE(none.refusal.find("Arrêt de « bureau » refusé"), std::string::npos);
    EXPECT_NE(none.refusal.find("« pc2 »"), std::string::npos);
    const PowerScript alone = korvane::ComposePowerScript(
        Os::Posix, kPosixPaths, PowerAction::WakeUp, "pc2", {"pc2"},
        {korvane::PowerUpCommand(Os::Posix, kPosixPaths, "pc2", "", "")}, {});
    EXPECT_EQ(alone.refusal, "wake-on-lan : pas d'adresse MAC pour pc2");
}

// With a report slot each line sends its tool's output and exit status to
// the slot's result, and the script ends by releasing the slot's marker.
TEST(PowerReport, ScriptTextsInBothForms) {
    const korvane::SlotFiles windowsSlot = korvane::SlotFilesFor(Os::Windows, kWindowsPaths, 9);
    const PowerScript windows = korvane::ComposePowerScript(
        Os::Windows, kWindowsPaths, PowerAction::Shutdown, "pc1", {"pc1"},
        {korvane::ShutdownCommand(Os::Windows, kWindowsPaths, "pc1", "10.0.0.1")}, windowsSlot);
    EXPECT_EQ(windows.scriptText,
              "\"%SystemRoot%\\System32\\shutdown.exe\" -s -f -t 30 -m \\\\10.0.0.1 "
              ">>c:\\ping9.txt 2>&1\r\n"
              "echo fin de la commande 1 : %errorlevel% >>c:\\ping9.txt\r\n"
              "\"%SystemRoot%\\System32\\attrib.exe\" -R c:\\9.mark\r\n");
    const korvane::SlotFiles posixSlot = korvane::SlotFilesFor(Os::Posix, kPosixPaths, 9);
    const PowerScript posix = korvane::ComposePowerScript(
        Os::Posix, kPosixPaths, PowerAction::WakeUp, "pc1", {"pc1"},
        {korvane::PowerUpCommand(Os::Posix, kPosixPaths, "pc1", "024b52000011", "10.0.0.1")},
        posixSlot);
    EXPECT_EQ(posix.scriptText,
              "'/opt/korvane/wolcmd' 024b52000011 10.0.0.1 255.255.255.0 "
              ">>'/run/user/1000/korvane/ping9.txt' 2>&1; echo 'fin de la commande 1 : '\"$?\" "
              ">>'/run/user/1000/korvane/ping9.txt'\n"
              "chmod u+w '/run/user/1000/korvane/9.mark'\n");
}

// The script runs for real with stand-in tools; what they print and how they
// end is read back as the user will be told it.
TEST(PowerReport, FailuresAreReadBackWithTheToolsReason) {
    TempFolder folder;
    const ToolPaths paths{folder.Path() + "/", folder.Path() + "/"};
    const korvane::SlotFiles slot = korvane::SlotFilesFor(Os::Posix, paths, 3);
    struct Case {
        std::string computer;
        std::string line;
        std::string reason;  // empty: no failure
    };
    const std::vector<Case> cases{
        {"pc1", "echo 'Shutting down'", ""},
        {"pc2",
         "printf 'Shutdown of remote machine failed\\nresult was: WERR_ACCESS_DENIED\\n'; exit 1",
         "WERR_ACCESS_DENIED"},
        {"pc3",
         "echo 'Could not connect to server 10.0.0.3'; echo 'Connection failed: "
         "NT_STATUS_CONNECTION_REFUSED'; exit 1",
         "NT_STATUS_CONNECTION_REFUSED"},
        {"pc4", "printf 'wolcmd : envoi impossible : r\xc3\xa9seau injoignable'; exit 1",
         "wolcmd : envoi impossible : réseau injoignable"},
        {"pc5", "exit 3", "code de sortie 3"},
        {"pc6", "echo 'fin de la commande 7 : 0'", ""}};
    TextList computers;
    std::vector<PowerCommand> commands;
    for (const Case& c : cases) {
        computers.push_back(c.computer);
        commands.push_back(PowerCommand{"", "", "(" + c.line + ")", ""});
    }
    const PowerScript script = korvane::ComposePowerScript(Os::Posix, paths, PowerAction::Shutdown,
                                                           "bureau", computers, commands, slot);
    testing_support::WriteBytes(script.scriptPath, script.scriptText);
    korvane::ArmMarker(slot.marker);
    ASSERT_EQ(
        toolkit::platform::RunShellAndWait("/bin/sh '" + script.scriptPath + "'", paths.programDir),
        0);
    EXPECT_FALSE(korvane::MarkerIsArmed(slot.marker));
    const auto failures = korvane::PowerFailures(toolkit::LoadLines(slot.result), computers);
    TextList failed, reasons;
    for (const auto& failure : failures) {
        failed.push_back(failure.computer);
        reasons.push_back(failure.reason);
    }
    TextList expectedFailed, expectedReasons;
    for (const Case& c : cases) {
        if (c.reason.empty()) continue;
        expectedFailed.push_back(c.computer);
        expectedReasons.push_back(c.reason);
    }
    EXPECT_EQ(failed, expectedFailed);
    EXPECT_EQ(reasons, expectedReasons);
    EXPECT_EQ(korvane::PowerFailureMessage(PowerAction::Shutdown, {failures.at(0)}),
              "Arrêt de « pc2 » en échec : WERR_ACCESS_DENIED. " +
                  korvane::PowerFailureRemedy("WERR_ACCESS_DENIED"));
    // A script that never got to its end marks tells of no failure.
    EXPECT_TRUE(korvane::PowerFailures({"result was: WERR_ACCESS_DENIED"}, {"pc1"}).empty());
}

// Each refusal Samba's net reports is told with its remedy, in the status
// bar and the console alike (one message); a code without a known remedy is
// told as it is, and a wake-up gets none.
TEST(PowerFailureMessages, EachKnownCodeGetsItsRemedy) {
    struct Case {
        const char* reason;
        std::vector<const char*> remedySays;  // empty: no remedy
    };
    const Case cases[] = {
        {"NT_STATUS_LOGON_FAILURE", {"mot de passe", "compte Microsoft", "compte local"}},
        {"WERR_ACCESS_DENIED",
         {"administrateur", "LocalAccountTokenFilterPolicy",
          "« Forcer l'arrêt à partir d'un système distant »"}},
        {"NT_STATUS_ACCESS_DENIED", {"administrateur", "LocalAccountTokenFilterPolicy"}},
        {"NT_STATUS_OBJECT_NAME_NOT_FOUND", {"« Registre à distance »", "arrêté"}},
        {"NT_STATUS_CONNECTION_REFUSED", {"port 445", "pare-feu", "éteint"}},
        {"NT_STATUS_IO_TIMEOUT", {"port 445", "partage de fichiers"}},
        {"NT_STATUS_HOST_UNREACHABLE", {"port 445", "éteint"}},
        {"NT_STATUS_ACCESS_DENIED_X", {}},
        {"NT_STATUS_BAD_NETWORK_NAME", {}},
        {"code de sortie 3", {}},
    };
    for (const Case& c : cases) {
        const std::string remedy = korvane::PowerFailureRemedy(c.reason);
        for (const char* words : c.remedySays) {
            EXPECT_NE(remedy.find(words), std::string::npos) << c.reason << ": " << remedy;
        }
        const std::string told = "Arrêt de « pc1 » en échec : " + std::string(c.reason) + ".";
        const korvane::PowerFailure failure{"pc1", c.reason, {}};
        if (c.remedySays.empty()) {
            EXPECT_EQ(remedy, "") << c.reason;
            EXPECT_EQ(korvane::PowerFailureMessage(PowerAction::Shutdown, {failure}), told);
        } else {
            EXPECT_TRUE(remedy.ends_with(".")) << remedy;
            EXPECT_EQ(korvane::PowerFailureMessage(PowerAction::Shutdown, {failure}),
                      told + " " + remedy);
        }
    }
    EXPECT_EQ(
        korvane::PowerFailureMessage(PowerAction::WakeUp, {{"pc1", "NT_STATUS_IO_TIMEOUT", {}}}),
        "Réveil de « pc1 » en échec : NT_STATUS_IO_TIMEOUT.");
    EXPECT_EQ(korvane::PowerFailureMessage(
                  PowerAction::Shutdown,
                  {{"pc1", "code de sortie 1", {}}, {"pc2", "NT_STATUS_LOGON_FAILURE", {}}}),
              "Arrêt de « pc1 » en échec : code de sortie 1. Arrêt de « pc2 » en échec : "
              "NT_STATUS_LOGON_FAILURE. " +
                  korvane::PowerFailureRemedy("NT_STATUS_LOGON_FAILURE"));
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
    for (const auto& [mode, refused] : std::vector<std::pair<mode_t, bool>>{{0600, false},
                                                                            {0400, false},
                                                                            {0640, true},
                                                                            {0604, true},
                                                                            {0620, true},
                                                                            {0200, true},
                                                                            {0000, true}}) {
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
