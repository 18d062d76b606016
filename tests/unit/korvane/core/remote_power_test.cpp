// The remote commands beside the plain shutdown: restart and access test
// through Samba or Windows' tools, the SSH command lines of a Linux computer
// with their refusals, liste.ssh, what ssh's complaints mean, and what an
// access test tells.
#include <gtest/gtest.h>

#include <filesystem>

#include "korvane/core/followup.h"
#include "korvane/core/sshpower.h"
#include "test_folder.h"

namespace {

using korvane::Os;
using korvane::PowerAction;
using korvane::SshEntry;
using korvane::ToolPaths;
using toolkit::TextList;

const ToolPaths kWindowsPaths{"C:\\Program Files\\Korvane 100%\\", "c:\\"};
const ToolPaths kPosixPaths{"/home/anne/.local/share/korvane/", "/run/user/1000/korvane/"};

TEST(RemoteCommands, EachActionInBothFormsThroughSambaWindowsOrSsh) {
    const std::string posixSsh =
        "ssh -o BatchMode=yes -o StrictHostKeyChecking=accept-new -o "
        "'UserKnownHostsFile=\"/home/anne/.local/share/korvane/known_hosts\"' -o "
        "HostKeyAlias=korvane-pc1 -o CheckHostIP=no -o IdentitiesOnly=yes -o ConnectTimeout=15 -i "
        "'/home/anne/.local/share/korvane/korvane_ssh' -l anne -- 10.0.0.5 ";
    const std::string windowsSsh =
        "\"%SystemRoot%\\System32\\OpenSSH\\ssh.exe\" -o BatchMode=yes -o "
        "StrictHostKeyChecking=accept-new -o "
        "\"UserKnownHostsFile=\"\"C:\\Program Files\\Korvane 100%%%%\\known_hosts\"\"\" -o "
        "HostKeyAlias=korvane-pc1 -o CheckHostIP=no -o IdentitiesOnly=yes -o ConnectTimeout=15 -i "
        "\"C:\\Program "
        "Files\\Korvane 100%%%%\\korvane_ssh\" -l anne -- 10.0.0.5 ";
    const std::string auth = " -A '/home/anne/.local/share/korvane/shutdown.auth'";
    const SshEntry anne{"pc1", "anne", ""};
    const SshEntry own{"pc1", "anne", "sudo -n /sbin/poweroff"};
    struct Case {
        Os os;
        PowerAction action;
        std::optional<SshEntry> ssh;
        std::string script;  // the file name of its script
        std::string line;
    };
    for (const Case& c : std::vector<Case>{
             {Os::Posix,
              PowerAction::Restart,
              {},
              "restartpc1.sh",
              "net rpc shutdown -r -f -t 30 -I 10.0.0.5" + auth},
             {Os::Posix,
              PowerAction::TestAccess,
              {},
              "accespc1.sh",
              "net rpc service status RemoteRegistry -I 10.0.0.5" + auth},
             {Os::Windows,
              PowerAction::Restart,
              {},
              "restartpc1.bat",
              "\"%SystemRoot%\\System32\\shutdown.exe\" -r -f -t 30 -m \\\\10.0.0.5"},
             {Os::Windows,
              PowerAction::TestAccess,
              {},
              "accespc1.bat",
              "\"%SystemRoot%\\System32\\sc.exe\" \\\\10.0.0.5 query RemoteRegistry"},
             {Os::Posix, PowerAction::Shutdown, anne, "shutdnpc1.sh",
              posixSsh + "'sudo -n systemctl poweroff'"},
             {Os::Posix, PowerAction::Shutdown, own, "shutdnpc1.sh",
              posixSsh + "'sudo -n /sbin/poweroff'"},
             {Os::Posix, PowerAction::Restart, own, "restartpc1.sh",
              posixSsh + "'sudo -n systemctl reboot'"},
             {Os::Posix, PowerAction::TestAccess, anne, "accespc1.sh", posixSsh + "'true'"},
             {Os::Windows, PowerAction::Shutdown, anne, "shutdnpc1.bat",
              windowsSsh + "\"sudo -n systemctl poweroff\""},
         }) {
        const ToolPaths& paths = c.os == Os::Windows ? kWindowsPaths : kPosixPaths;
        const korvane::PowerCommand command =
            korvane::RemoteCommand(c.os, paths, c.action, "pc1", " 10.0.0.5 ", {}, c.ssh);
        ASSERT_FALSE(command.Refused()) << command.refusal;
        EXPECT_EQ(command.commandLine, c.line);
        EXPECT_EQ(command.scriptPath, paths.programDir + c.script);
        EXPECT_EQ(command.overSsh, c.ssh.has_value());
    }
}

// Nothing typed in a list reaches a command unless it is harmless there.
TEST(RemoteCommands, UnsafeUsersCommandsNamesAndAddressesAreRefused) {
    struct Case {
        PowerAction action;
        std::string name, ip;
        SshEntry ssh;
        std::string refusal;  // its start
    };
    for (const Case& c : std::vector<Case>{
             {PowerAction::Shutdown,
              "pc1",
              "10.0.0.5",
              {"pc1", "-oProxyCommand=x", ""},
              "Arrêt de « pc1 » refusé : liste.ssh : Nom d'utilisateur SSH"},
             {PowerAction::Restart,
              "pc1",
              "10.0.0.5",
              {"pc1", "anne;id", ""},
              "Redémarrage de « pc1 » refusé : liste.ssh"},
             {PowerAction::Shutdown,
              "pc1",
              "10.0.0.5",
              {"pc1", "anne", "poweroff; rm -rf ~"},
              "Arrêt de « pc1 » refusé : la commande « poweroff; rm -rf ~ »"},
             {PowerAction::Shutdown,
              "pc1",
              "10.0.0.5",
              {"pc1", "anne", "echo \"$(id)\""},
              "Arrêt de « pc1 » refusé : la commande"},
             {PowerAction::TestAccess,
              "pc1",
              "",
              {"pc1", "anne", ""},
              "Test de l'accès à « pc1 » refusé : aucune adresse IP"},
             {PowerAction::Shutdown,
              "pc1",
              "10.0.0.5 -oX",
              {"pc1", "anne", ""},
              "Arrêt de « pc1 » refusé : adresse IP invalide"},
             {PowerAction::Shutdown,
              "pc1;x",
              "10.0.0.5",
              {"pc1;x", "anne", ""},
              "Arrêt de « pc1;x » refusé : ce nom"},
             {PowerAction::Shutdown,
              "ssh.cmd",
              "10.0.0.5",
              {"ssh.cmd", "anne", ""},
              "Arrêt de « ssh.cmd » refusé : ce nom"},
         }) {
        const korvane::PowerCommand command =
            korvane::SshCommand(Os::Posix, kPosixPaths, c.action, c.name, c.ip, c.ssh);
        EXPECT_TRUE(command.refusal.starts_with(c.refusal)) << command.refusal;
        EXPECT_TRUE(command.commandLine.empty());
    }
    // A command of liste.ssh read as ssh's options would run on this computer
    // (ProxyCommand), go to another one (HostName) or write any file (-E).
    for (const std::string command :
         {"-oProxyCommand=touch /tmp/x", "-oHostName=10.0.0.66 sudo -n poweroff", "-E /tmp/log",
          "--", "-"}) {
        for (const Os os : {Os::Posix, Os::Windows}) {
            const korvane::PowerCommand refused =
                korvane::SshCommand(os, kPosixPaths, PowerAction::Shutdown, "pc1", "10.0.0.5",
                                    {"pc1", "anne", command});
            EXPECT_EQ(refused.refusal,
                      "Arrêt de « pc1 » refusé : la commande « " + command +
                          " » de liste.ssh commence par « - » : ce serait une option de ssh, pas "
                          "une commande. Écrivez la commande elle-même (par exemple sudo -n "
                          "systemctl poweroff).");
        }
    }
    EXPECT_FALSE(korvane::IsValidRemoteCommand("-x"));
    EXPECT_FALSE(korvane::IsValidRemoteCommand(" "));
    EXPECT_TRUE(korvane::IsValidRemoteCommand("sudo -n /sbin/poweroff"));
    for (const std::string& user :
         std::vector<std::string>{"anne", "_svc", "j.dupont-2", std::string(32, 'a')}) {
        EXPECT_TRUE(korvane::IsValidSshUser(user)) << user;
    }
    for (const std::string& user : std::vector<std::string>{
             "", "2anne", "-l", "anne dupont", "anne$", "élise", std::string(33, 'a')}) {
        EXPECT_FALSE(korvane::IsValidSshUser(user)) << user;
    }
}

// Addresses that name no other computer get neither ssh's nor Samba's
// command: the one at 127.0.0.1 would be this computer's own sshd.
TEST(RemoteCommands, AddressesOfNoOtherComputerAreRefused) {
    const std::string start = "Test de l'accès à « pc1 » refusé : l'adresse « ";
    for (const auto& [ip, why] : std::vector<std::pair<std::string, std::string>>{
             {"127.0.0.1", "désigne cet ordinateur-ci (boucle locale 127.0.0.0/8), pas « pc1 »."},
             {"127.1.2.3", "désigne cet ordinateur-ci"},
             {"0.0.0.0", "ne désigne aucun ordinateur (0.0.0.0/8)."},
             {"0.10.0.5", "ne désigne aucun ordinateur"},
             {"224.0.0.1", "est une adresse de multidiffusion (224.0.0.0/4)"},
             {"239.255.255.250", "est une adresse de multidiffusion"},
             {"240.0.0.1", "est une adresse réservée (240.0.0.0/4"},
             {"255.255.255.255", "est une adresse réservée"},
         }) {
        const std::string expected = start + ip + " » (liste.ip) " + why;
        for (const bool ssh : {true, false}) {
            const korvane::PowerCommand command = korvane::RemoteCommand(
                Os::Posix, kPosixPaths, PowerAction::TestAccess, "pc1", ip, {},
                ssh ? std::optional<SshEntry>(SshEntry{"pc1", "anne", ""}) : std::nullopt);
            EXPECT_TRUE(command.refusal.starts_with(expected)) << command.refusal;
            EXPECT_TRUE(command.commandLine.empty());
        }
    }
    EXPECT_FALSE(korvane::RemoteAddressProblem(PowerAction::Shutdown, "pc1", "223.255.255.254"));
}

// Each computer's host key is noted under a name of its own, made from its
// name as the lists compare it: letter case does not count, nothing else is
// lost, and nothing but letters, digits, "-" and "_" gets through.
TEST(SshLine, HostKeyAliasIsOnePerComputerAndAPlainWord) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"pc1", "korvane-pc1"},
        {"PC1", "korvane-pc1"},
        {"PC-Bureau", "korvane-pc-bureau"},
        {"serveur.nas", "korvane-serveur_2enas"},
        {"serveur_2enas", "korvane-serveur_5f2enas"},
        {"a_b", "korvane-a_5fb"},
        {"Comptabilité", "korvane-comptabilit_c3_a9"},
        {"COMPTABILITÉ", "korvane-comptabilit_c3_89"},
        {"a b,*?!%\"'", "korvane-a_20b_2c_2a_3f_21_25_22_27"},
    };
    for (const auto& [name, alias] : cases) {
        EXPECT_EQ(korvane::SshHostKeyAlias(name), alias) << name;
        const korvane::PowerCommand command =
            korvane::SshCommand(Os::Windows, kWindowsPaths, PowerAction::TestAccess, name,
                                "10.0.0.5", {name, "anne", ""});
        if (!command.Refused()) {
            EXPECT_NE(command.commandLine.find(" -o HostKeyAlias=" + alias + " "),
                      std::string::npos)
                << command.commandLine;
        }
    }
    EXPECT_NE(korvane::SshRemedy(korvane::kSshHostKeyChanged, "Serveur.NAS")
                  .find("ssh-keygen -R korvane-serveur_2enas -f known_hosts"),
              std::string::npos);
}

// The list readers' rules: trimmed lines, blank ones and lines without a
// user left out, a name found whatever its letter case; a change keeps the
// other lines and the command of the line changed.
TEST(SshList, ReadFoundChangedAndWrittenAtomically) {
    const korvane::SshList list = korvane::ParseSshList(
        {"\xEF\xBB\xBFpc1 anne", "", "  PC10\troot   sudo -n  /sbin/poweroff  ", "seul", " \r"});
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(korvane::FindSsh(list, "PC1")->user, "anne");
    EXPECT_EQ(korvane::FindSsh(list, "pc10")->command, "sudo -n /sbin/poweroff");
    EXPECT_FALSE(korvane::FindSsh(list, "seul"));
    EXPECT_FALSE(korvane::FindSsh(list, "pc"));

    const korvane::SshList changed =
        korvane::WithSsh(korvane::WithSsh(list, "pc10", "admin"), "pc2", "bob");
    EXPECT_EQ(korvane::SshListLines(changed),
              (TextList{"pc1 anne", "PC10 admin sudo -n /sbin/poweroff", "pc2 bob"}));
    EXPECT_EQ(korvane::SshListLines(korvane::WithSsh(changed, "PC1", std::nullopt)),
              (TextList{"PC10 admin sudo -n /sbin/poweroff", "pc2 bob"}));
    // Unticked, a computer written on several lines loses them all.
    const korvane::SshList twice =
        korvane::ParseSshList({"pc1 anne", "pc2 bob", "PC1 root sudo -n /sbin/poweroff", "pc10 x"});
    EXPECT_EQ(korvane::SshListLines(korvane::WithSsh(twice, "Pc1", std::nullopt)),
              (TextList{"pc2 bob", "pc10 x"}));

    testing_support::TempFolder folder;
    EXPECT_TRUE(korvane::LoadSshList((folder.Path() + "/")).empty());
    korvane::SaveSshList((folder.Path() + "/"), changed);
    EXPECT_EQ(testing_support::ReadBytes(folder / "liste.ssh"),
              "pc1 anne\r\nPC10 admin sudo -n /sbin/poweroff\r\npc2 bob\r\n");
    EXPECT_EQ(korvane::SshListLines(korvane::LoadSshList((folder.Path() + "/"))),
              korvane::SshListLines(changed));
}

// ssh's and sudo's complaints become the reason, and each has its remedy;
// Samba's codes keep theirs.
TEST(RemoteFailures, SshComplaintsAreReasonsWithRemedies) {
    const std::string end = "fin de la commande 1 : 255";
    struct Case {
        TextList output;
        std::string reason;
        std::string remedyHolds;
    };
    for (const Case& c : std::vector<Case>{
             {{"@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@",
               "@    WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED!     @",
               "Host key for 10.0.0.5 has changed and you have requested strict checking.",
               "Host key verification failed."},
              korvane::kSshHostKeyChanged,
              "ssh-keygen -R"},
             {{"anne@10.0.0.5: Permission denied (publickey,password)."},
              korvane::kSshKeyRefused,
              "authorized_keys"},
             {{"sudo: a password is required"}, korvane::kSshSudoPassword, "NOPASSWD"},
             {{"ssh: connect to host 10.0.0.5 port 22: Connection refused"},
              korvane::kSshRefused,
              "openssh-server"},
             {{"ssh: connect to host 10.0.0.5 port 22: Connection timed out"},
              korvane::kSshTimedOut,
              "pare-feu"},
             {{"Could not connect to server 10.0.0.5",
               "Connection failed: NT_STATUS_LOGON_FAILURE"},
              "NT_STATUS_LOGON_FAILURE",
              "shutdown.auth"},
         }) {
        TextList result = c.output;
        result.push_back(end);
        const auto failures = korvane::PowerFailures(result, {"pc1"});
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].reason, c.reason);
        const std::string message = korvane::PowerFailureMessage(PowerAction::Restart, failures);
        EXPECT_TRUE(message.starts_with("Redémarrage de « pc1 » en échec : " + c.reason + ". "))
            << message;
        EXPECT_NE(message.find(c.remedyHolds), std::string::npos) << message;
    }
}

// Windows' sc.exe and shutdown.exe end with the system's error code, which
// they also print: it becomes the reason, with the system's words and the
// remedy of its code. A status no Windows tool printed stays a plain one.
TEST(RemoteFailures, WindowsToolsCodesAreReasonsWithRemedies) {
    struct Case {
        TextList output;
        int status;
        std::string reason;
        std::string remedyHolds;  // empty: no remedy
    };
    for (const Case& c : std::vector<Case>{
             {{"[SC] OpenSCManager a échoué 1722 :", "", "Le serveur RPC n'est pas disponible.",
               ""},
              1722,
              "erreur Windows 1722 : Le serveur RPC n'est pas disponible",
              "pare-feu"},
             {{"[SC] OpenSCManager FAILED 5:", "", "Access is denied.", ""},
              5,
              "erreur Windows 5 : Access is denied",
              "LocalAccountTokenFilterPolicy"},
             {{"[SC] EnumQueryServicesStatus:OpenService a échoué 1060 :", "",
               "Le service spécifié n'existe pas en tant que service installé."},
              1060,
              "erreur Windows 1060 : Le service spécifié n'existe pas en tant que service installé",
              "RemoteRegistry"},
             {{"10.0.0.5: Le chemin réseau n'a pas été trouvé.(53)"},
              53,
              "erreur Windows 53 : 10.0.0.5: Le chemin réseau n'a pas été trouvé",
              "port 445"},
             {{"10.0.0.5: Nom d'utilisateur ou mot de passe incorrect.(1326)"},
              1326,
              "erreur Windows 1326 : 10.0.0.5: Nom d'utilisateur ou mot de passe incorrect",
              "cmdkey"},
             {{"[SC] OpenSCManager FAILED 1722:"}, 1722, "erreur Windows 1722", "pare-feu"},
             {{"[SC] OpenService FAILED 1234:", "", "Autre chose."},
              1234,
              "erreur Windows 1234 : Autre chose",
              ""},
             // ssh's remote command ending 5, and a code printed that is not the status.
             {{"Failed to reboot system via logind: Access denied"},
              5,
              "Failed to reboot system via logind: Access denied",
              ""},
             {{"[SC] OpenSCManager FAILED 1722:", "plus tard : 17"}, 17, "plus tard : 17", ""},
         }) {
        TextList result = c.output;
        result.push_back("fin de la commande 1 : " + std::to_string(c.status));
        const auto failures = korvane::PowerFailures(result, {"pc1"});
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].reason, c.reason);
        const std::string remedy = korvane::PowerFailureRemedy(c.reason);
        if (c.remedyHolds.empty()) {
            EXPECT_EQ(remedy, "") << c.reason;
        } else {
            EXPECT_NE(remedy.find(c.remedyHolds), std::string::npos) << remedy;
        }
        // "Tester l'accès" tells the remedy too.
        EXPECT_NE(korvane::AccessReport(result, {"pc1"}, {false}).find(remedy), std::string::npos);
    }
}

// One sentence per computer tested: granted, refused with reason and
// remedy, or no answer when the script did not get that far.
TEST(AccessReport, GrantedRefusedOrSilentForEachComputer) {
    const TextList result = {"Could not connect: NT_STATUS_LOGON_FAILURE",
                             "fin de la commande 1 : 1", "RemoteRegistry service is SVC_RUNNING.",
                             "fin de la commande 2 : 0", "fin de la commande 3 : 0"};
    const std::string report =
        korvane::AccessReport(result, {"pc1", "pc2", "linux", "pc4"}, {false, false, true, false});
    EXPECT_EQ(report, "Accès à « pc1 » : refusé : NT_STATUS_LOGON_FAILURE. " +
                          korvane::PowerFailureRemedy("NT_STATUS_LOGON_FAILURE") +
                          " Accès à « pc2 » : accordé, l'arrêt à distance devrait fonctionner. "
                          "Accès SSH à « linux » : accordé, la clé de Korvane est acceptée ; "
                          "l'arrêt passera si sudo y permet systemctl sans mot de passe. "
                          "Accès à « pc4 » : sans réponse, le test ne s'est pas terminé.");
}

// A restart's follow-up wants the computer up again; its incident joins the
// shutdown's report.
TEST(RestartFollowUp, DownAfterRestartIsAnIncidentUpIsNone) {
    using korvane::FollowKind;
    const auto down = korvane::CheckIncident(FollowKind::Restart, {"PING pc1", "pc1=down"});
    ASSERT_TRUE(down);
    EXPECT_EQ(korvane::IncidentLine("08/12/2026", "10:00:00", *down),
              "\"08/12/2026\";\"10:00:00\";\"pc1\";\"n'a pas redémarré\";\"raison inconnue\";");
    EXPECT_FALSE(korvane::CheckIncident(FollowKind::Restart, {"pc1=up"}));
    EXPECT_EQ(std::string(korvane::IncidentFileName(FollowKind::Restart)), "shutdown.followup");
    EXPECT_EQ(korvane::ProgressLine(FollowKind::Restart, 7), "followRestartReport 7");
}

// The key must exist and be ours alone before ssh is asked to use it.
TEST(SshKey, MissingOrSharedKeyRefusesAndSaysHowToMakeIt) {
    testing_support::TempFolder folder;
    const ToolPaths paths{(folder.Path() + "/"), ""};
    const auto missing = korvane::SshKeyProblem(Os::Posix, paths, "pc1", PowerAction::Shutdown);
    ASSERT_TRUE(missing);
    EXPECT_NE(missing->find("est absente. Créez-la par « Ordinateurs > Créer la clé SSH »"),
              std::string::npos)
        << *missing;
    testing_support::WriteBytes(folder / "korvane_ssh", "clé");
    namespace fs = std::filesystem;
    fs::permissions(folder / "korvane_ssh",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const auto shared = korvane::SshKeyProblem(Os::Posix, paths, "pc1", PowerAction::Restart);
    ASSERT_TRUE(shared);
    EXPECT_TRUE(shared->starts_with("Redémarrage de « pc1 » refusé : la clé SSH")) << *shared;
    fs::permissions(folder / "korvane_ssh", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(korvane::SshKeyProblem(Os::Posix, paths, "pc1", PowerAction::Shutdown));
    EXPECT_EQ(korvane::SshKeygenCommandLine(Os::Posix, paths),
              "ssh-keygen -q -t ed25519 -N '' -C korvane -f '" + (folder.Path() + "/") +
                  "korvane_ssh' </dev/null");
}

}  // namespace
