// The power commands: the scripts and console lines of "ON" and "OFF", their
// refusals and failures, and the follow-ups with their incidents and
// reports. wolcmd, net and the openers are stand-ins that record their
// arguments (the lab runs the real ones); the follow-up checks run the real
// hostping on this private namespace's loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app_folder.h"
#include "korvane/core/power.h"
#include "korvane/core/sshpower.h"

namespace {

namespace fs = std::filesystem;
using app_testing::AppFolder;
using toolkit::TextList;

// Appends its arguments as one line to FILE in the program folder.
std::string Recorder(const std::string& file) {
    return "echo \"$*\" >> \"" + file + "\"";
}

class PowerTest : public testing::Test {
  protected:
    void SetUp() override {
        folder.InstallHostpingStandIn();
        folder.Write("localGM", {"pc1", "pc2", "bureau"});
        folder.Write("liste.ip", {"pc1 10.0.0.5", "bureau 10.0.0.9"});
        folder.Write("liste.mac", {"PC1 02-4B-52-00-00-05", "PC2 02-4B-52-00-00-06"});
        for (const char* entry : {"pc1", "pc2"}) folder.Write(entry, {entry});
        folder.Write("bureau", {});
        folder.InstallScript("wolcmd", Recorder(folder / "wolcmd.calls"));
        folder.InstallOnPath("net", Recorder(folder / "net.calls"));
        folder.InstallOnPath("localc", Recorder(folder / "opened"));
        testing_support::WriteBytes(folder / "shutdown.auth", "username = root\npassword = x\n");
        fs::permissions(folder / "shutdown.auth", fs::perms::owner_read | fs::perms::owner_write);
    }
    korvane::KorvaneApp& Start() {
        folder.Start();
        EXPECT_TRUE(folder.Settle());
        return folder.App();
    }
    // The commands of a power script, without what sends their outcome back.
    TextList ScriptCommands(const std::string& script) const {
        TextList commands;
        for (const auto& line : folder.Read(script)) {
            const std::size_t report = line.find(" >>'" + folder.Slots());
            if (report != std::string::npos) commands.push_back(line.substr(0, report));
        }
        return commands;
    }
    int Console(const std::string& start) const { return folder.View().ConsoleLines(start); }
    // Five minutes on: the follow-ups' checks start, and end.
    void FollowUps() {
        folder.Pass(korvane::kFollowUpDelay);
        EXPECT_TRUE(folder.Settle(10000));
    }
    std::string Wolcmd(const std::string& arguments) const {
        return "'" + folder.Dir() + "wolcmd' " + arguments;
    }

    AppFolder folder;
};

TEST_F(PowerTest, OnAndOffRunTheirScriptLogEachCommandAndFollowUpFiveMinutesLater) {
    korvane::KorvaneApp& app = Start();
    const korvane::EntryCard card = app.Card(0).value();
    EXPECT_EQ(card.caption + " " + card.address + " " + card.mac, "PC1 10.0.0.5 02-4B-52-00-00-05");
    app.Wake(0);
    const std::string first = Wolcmd("02-4B-52-00-00-05 10.0.0.5 255.255.255.0");
    EXPECT_EQ(ScriptCommands("poweruppc1.sh"), TextList{first});
    // A new hardware address, read at the next tick, is the next command's.
    folder.Write("liste.mac", {"PC1 02:4b:52:00:00:07", "PC2 02-4B-52-00-00-06"});
    folder.Poll();
    app.Wake(0);
    const std::string second = Wolcmd("02:4b:52:00:00:07 10.0.0.5 255.255.255.0");
    EXPECT_EQ(ScriptCommands("poweruppc1.sh"), TextList{second});
    EXPECT_EQ(Console("commande lancée : " + first), 1);
    EXPECT_EQ(Console("commande lancée : " + second), 1);
    ASSERT_TRUE(folder.RunUntil([&] { return folder.Lines("wolcmd.calls").size() == 2; }));
    // The two scripts run side by side: the first may already read the second's text.
    for (const std::string& call : folder.Read("wolcmd.calls")) {
        EXPECT_TRUE(first.ends_with("' " + call) || second.ends_with("' " + call)) << call;
    }
    // Without an address the packet goes to every host of the LAN.
    app.PowerUp("pc2");
    EXPECT_EQ(ScriptCommands("poweruppc2.sh"),
              TextList{Wolcmd("02-4B-52-00-00-06 255.255.255.255 255.255.255.0")});

    app.ShutDown(0);
    const std::string line =
        "net rpc shutdown -f -t 30 -I 10.0.0.5 -A '" + folder.Dir() + "shutdown.auth'";
    EXPECT_EQ(ScriptCommands("shutdnpc1.sh"), TextList{line});
    EXPECT_EQ(Console("commande lancée : " + line), 1);
    ASSERT_TRUE(folder.RunUntil([&] { return !folder.Lines("net.calls").empty(); }));
    EXPECT_EQ(folder.Read("net.calls"),
              (TextList{"rpc shutdown -f -t 30 -I 10.0.0.5 -A " + folder.Dir() + "shutdown.auth"}));
    EXPECT_TRUE(folder.View().warnings.empty());

    // Each command has its own follow-up.
    EXPECT_EQ(Console("Lancement de ping "), 0);
    FollowUps();
    EXPECT_EQ(Console("Lancement de ping pc1..."), 3);
    EXPECT_EQ(Console("Lancement de ping "), 4);
}

// A refused command says why, in a message and the console log, and runs
// nothing: no script, no follow-up. (The refusals for shutdown.auth are
// tested in the lab.)
TEST_F(PowerTest, RefusedCommandsRunNothingAndSayWhy) {
    folder.Write("liste.mac", {"PC1 02-4B-52-00-00-05;reboot"});
    folder.Write("salle", {"pc2", "pc3"});
    korvane::KorvaneApp& app = Start();
    app.ShutDown(1);        // pc2 has no address
    app.PowerUp("bureau");  // nor a hardware address
    app.Wake(0);            // pc1's is no hardware address
    app.Shutdown("salle");  // none of its computers has an address
    app.ShutDown(7);        // no such entry
    const std::vector<std::string> expected = {
        "Arrêt de « pc2 » refusé : aucune adresse IP",
        "wake-on-lan : pas d'adresse MAC pour bureau", "adresse MAC invalide",
        "Arrêt de « salle » refusé : aucun de ses ordinateurs ne peut recevoir la commande."};
    const std::vector<std::string>& warnings = folder.View().warnings;
    ASSERT_EQ(warnings.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NE(warnings[i].find(expected[i]), std::string::npos) << warnings[i];
        EXPECT_EQ(Console(warnings[i]), 1) << warnings[i];
    }
    for (const auto& entry : fs::directory_iterator(folder.Dir())) {
        const std::string name = entry.path().filename();
        EXPECT_FALSE(name.starts_with("powerup") || name.starts_with("shutdn")) << name;
    }
    EXPECT_EQ(Console("commande lancée"), 0);
    FollowUps();
    EXPECT_EQ(Console("Lancement de ping "), 0);
    EXPECT_TRUE(folder.Lines("net.calls").empty() && folder.Lines("wolcmd.calls").empty());
}

// "ON" and "OFF" on a group act on each of its computers, one line each; a
// computer that lacks what the command needs is named and left out.
TEST_F(PowerTest, GroupGetsOneLinePerComputerAndItsRefusedComputersAreNamed) {
    folder.Write("bureau", {"pc1", "pc2"});
    korvane::KorvaneApp& app = Start();
    app.PowerUp("bureau");
    EXPECT_EQ(ScriptCommands("powerupbureau.sh"),
              (TextList{Wolcmd("02-4B-52-00-00-05 10.0.0.5 255.255.255.0"),
                        Wolcmd("02-4B-52-00-00-06 255.255.255.255 255.255.255.0")}));
    EXPECT_TRUE(folder.RunUntil([&] { return folder.Lines("wolcmd.calls").size() == 2; }));
    app.Shutdown("bureau");  // pc2 has no address
    EXPECT_EQ(
        ScriptCommands("shutdnbureau.sh"),
        TextList{"net rpc shutdown -f -t 30 -I 10.0.0.5 -A '" + folder.Dir() + "shutdown.auth'"});
    EXPECT_TRUE(folder.View().status.starts_with("Arrêt de « pc2 » refusé : aucune adresse IP"))
        << folder.View().status;
    EXPECT_TRUE(folder.RunUntil([&] { return folder.Lines("net.calls").size() == 1; }));
    EXPECT_TRUE(folder.View().warnings.empty());
    FollowUps();
    EXPECT_EQ(Console("Lancement de ping "), 4);  // two commands, two members each
}

// A command whose tool fails is told at once in the status bar, with the
// tool's reason and its remedy, and its lines stay in the console log; one that works says
// nothing. Blanks after the address in liste.ip do not stop the commands.
TEST_F(PowerTest, FailedCommandIsToldAtOnceWithTheToolsReason) {
    folder.InstallOnPath("net",
                         "echo 'Shutdown of remote machine failed'; "
                         "echo 'result was: WERR_ACCESS_DENIED'; exit 1");
    folder.InstallScript("wolcmd",
                         "echo \"wolcmd : envoi impossible vers $2 : réseau "
                         "injoignable (aucune route vers ce réseau)\" >&2; exit 1");
    folder.Write("liste.ip", {"pc1 10.0.0.5 ", "pc2 10.0.0.6"});
    korvane::KorvaneApp& app = Start();
    const struct {
        bool on;
        const char* entry;
        std::string told;  // empty: nothing
    } cases[] = {
        {false, "pc1",
         "Arrêt de « pc1 » en échec : WERR_ACCESS_DENIED. " +
             korvane::PowerFailureRemedy("WERR_ACCESS_DENIED")},
        {true, "pc1",
         "Réveil de « pc1 » en échec : wolcmd : envoi impossible vers 10.0.0.5 : réseau "
         "injoignable (aucune route vers ce réseau)."},
        {false, "pc2", ""},
    };
    for (const auto& c : cases) {
        if (c.told.empty()) folder.InstallOnPath("net", "exit 0");
        folder.View().statuses.clear();
        c.on ? app.PowerUp(c.entry) : app.Shutdown(c.entry);
        ASSERT_TRUE(folder.Settle()) << c.entry;
        EXPECT_EQ(folder.View().statuses.size(), c.told.empty() ? 0u : 1u) << c.entry;
        if (!c.told.empty()) {
            EXPECT_EQ(folder.View().statuses[0], c.told);
            EXPECT_EQ(Console(c.told), 1);
        }
    }
    EXPECT_EQ(Console("pc1 : result was: WERR_ACCESS_DENIED"), 1);
    EXPECT_TRUE(folder.View().warnings.empty());
}

// An address that names no other computer gets no command, whether clicked
// (a warning) or planned (a notification too): 127.0.0.1 would be this
// computer's own sshd or smbd, a broadcast every computer of the LAN.
TEST_F(PowerTest, RemoteCommandsToAnAddressOfNoOtherComputerAreRefusedAndTold) {
    folder.Write("liste.ip",
                 {"pc1 127.0.0.1", "pc2 255.255.255.255", "bureau 224.0.0.1", "pc3 10.0.0.7"});
    folder.Write("bureau", {"bureau", "pc3"});
    folder.Write("liste.ssh", {"pc2 anne"});
    folder.InstallOnPath("ssh", Recorder(folder / "ssh.calls"));
    korvane::KorvaneApp& app = Start();
    const struct {
        const char* entry;
        korvane::PowerAction action;
        bool planned;
        std::string told;
    } cases[] = {
        {"pc1", korvane::PowerAction::Shutdown, true,
         "Arrêt de « pc1 » refusé : l'adresse « 127.0.0.1 » (liste.ip) désigne cet "
         "ordinateur-ci"},
        {"pc2", korvane::PowerAction::Restart, false,
         "Redémarrage de « pc2 » refusé : l'adresse « 255.255.255.255 » (liste.ip) est une "
         "adresse réservée"},
        {"pc1", korvane::PowerAction::TestAccess, false,
         "Test de l'accès à « pc1 » refusé : l'adresse « 127.0.0.1 »"},
    };
    for (const auto& c : cases) {
        folder.View().warnings.clear();
        folder.View().notices.clear();
        const bool ran =
            c.action == korvane::PowerAction::Shutdown  ? app.Shutdown(c.entry, c.planned)
            : c.action == korvane::PowerAction::Restart ? app.Restart(c.entry, c.planned)
                                                        : app.TestAccess(std::string(c.entry));
        EXPECT_FALSE(ran) << c.told;
        ASSERT_EQ(folder.View().warnings.size(), 1u) << c.told;
        EXPECT_TRUE(folder.View().warnings[0].starts_with(c.told)) << folder.View().warnings[0];
        EXPECT_EQ(Console(c.told), 1);
        EXPECT_EQ(folder.View().notices.size(), c.planned ? 1u : 0u) << c.told;
    }
    // In a group, the one at a multicast address is left out and named.
    EXPECT_TRUE(app.Shutdown("bureau"));
    EXPECT_EQ(
        ScriptCommands("shutdnbureau.sh"),
        TextList{"net rpc shutdown -f -t 30 -I 10.0.0.7 -A '" + folder.Dir() + "shutdown.auth'"});
    EXPECT_EQ(Console("Arrêt de « bureau » refusé : l'adresse « 224.0.0.1 » (liste.ip) est une "
                      "adresse de multidiffusion"),
              1);
    ASSERT_TRUE(folder.Settle());
    EXPECT_EQ(folder.Lines("net.calls").size(), 1u);
    EXPECT_TRUE(folder.Lines("ssh.calls").empty());
}

// The checks probe for real with hostping, at each member's address: "ici"
// (127.0.0.1) answers, "loin" (10.255.255.1) has no route in this namespace.
// After "OFF" the one that answers is an incident, after "ON" the one that
// does not; each report file holds its incidents.
TEST_F(PowerTest, FollowUpsRecordContradictingHostsAndTheReportsShowThem) {
    folder.InstallProgram("hostping");
    folder.Write("liste.ip", {"ici 127.0.0.1", "loin 10.255.255.1", "pc1 10.0.0.5", "pc2 10.0.0.6",
                              "bureau 10.0.0.9"});
    folder.Write("bureau", {"ici", "", "loin", "pc;x"});
    folder.Write("pc1", {"loin"});
    korvane::KorvaneApp& app = Start();
    app.Shutdown("bureau");
    app.PowerUp("pc1");
    FollowUps();
    EXPECT_EQ(Console("followDownReport "), 2);
    EXPECT_EQ(Console("followupReport "), 1);
    EXPECT_EQ(Console("Lancement de ping "), 3);
    EXPECT_EQ(Console("Vérification de pc;x non lancée"), 1);
    const TextList& down = app.Vars().ShutdownIncidents;
    const TextList& up = app.Vars().WolIncidents;
    ASSERT_EQ(down.size(), 1u);
    EXPECT_TRUE(down[0].ends_with("\";\"ici\";\"ne s'est pas arrêté\";\"raison inconnue\";"))
        << down[0];
    ASSERT_EQ(up.size(), 1u);
    EXPECT_TRUE(up[0].ends_with("\";\"loin\";\"ne s'est pas mis en marche\";\"raison inconnue\";"))
        << up[0];
    EXPECT_EQ(Console(down[0]), 1);

    app.OpenIncidents(korvane::FollowKind::Shutdown);
    app.OpenIncidents(korvane::FollowKind::WakeUp);
    EXPECT_EQ(folder.Read("shutdown.followup"), down);
    EXPECT_EQ(folder.Read("wol.followup"), up);
    // The two openers run detached: either may write its line first.
    EXPECT_TRUE(folder.RunUntil([&] {
        TextList opened = folder.Lines("opened");
        std::sort(opened.begin(), opened.end());
        return opened == TextList{folder / "shutdown.followup", folder / "wol.followup"};
    }));
}

// A follow-up is tied to the entry's place at the command: gone, the check
// is abandoned; its group file gone, the user is told; a probe that cannot
// run gives no verdict, and says why.
TEST_F(PowerTest, FollowUpWithoutItsEntryItsGroupFileOrAVerdictSaysSo) {
    folder.InstallScript("hostping",
                         "echo 'hostping : aucune socket ICMP ne peut être ouverte' "
                         ">&2; exit 3");
    folder.Write("liste.ip", {"pc1 10.0.0.5", "pc2 10.0.0.6"});
    folder.Write("liste.mac", {"BUREAU 02-4B-52-00-00-09"});
    korvane::KorvaneApp& app = Start();
    app.PowerUp("bureau");  // entry 2
    app.Shutdown("pc2");    // entry 1
    app.Shutdown("pc1");    // entry 0
    ASSERT_TRUE(app.IntakeOk({"pc1", "pc2"}));
    fs::remove(folder / "pc2");
    FollowUps();

    EXPECT_EQ(Console("Vérification après le réveil abandonnée : l'entrée n° 2 n'existe plus."), 1);
    ASSERT_EQ(folder.View().warnings.size(), 1u);
    EXPECT_TRUE(folder.View().warnings[0].starts_with(
        "Vérification après l'arrêt de « pc2 » impossible : "))
        << folder.View().warnings[0];
    const std::string noVerdict =
        "Vérification après l'arrêt de « pc1 » sans verdict : hostping "
        ": aucune socket ICMP ne peut être ouverte";
    EXPECT_EQ(Console(noVerdict), 1);
    const auto& shown = folder.View().statuses;
    EXPECT_NE(std::find(shown.begin(), shown.end(), noVerdict), shown.end());
    EXPECT_EQ(Console("Lancement de ping "), 1);
    EXPECT_TRUE(app.Vars().ShutdownIncidents.empty());
}

}  // namespace

// "Redémarrer" and "Tester l'accès" through Samba: the restart is refused for
// a protected computer as "OFF" is, and followed up five minutes later; the
// access test tells what the computer answered, in the shutdown's words, and
// is never followed up.
TEST_F(PowerTest, RestartAndAccessTestGoThroughSambaAndTellTheirOutcome) {
    folder.Write("liste.protegees", {"bureau"});
    korvane::KorvaneApp& app = Start();
    const std::string auth = " -A '" + folder.Dir() + "shutdown.auth'";
    const struct {
        const char* net;  // the stand-in's behaviour
        bool restart;
        const char* entry;
        std::string script, line, told;  // told: the status bar afterwards, empty for nothing
    } cases[] = {
        {"exit 0", true, "pc1", "restartpc1.sh", "net rpc shutdown -r -f -t 30 -I 10.0.0.5" + auth,
         ""},
        {"echo 'Could not connect: NT_STATUS_LOGON_FAILURE'; exit 1", false, "pc1", "accespc1.sh",
         "net rpc service status RemoteRegistry -I 10.0.0.5" + auth,
         "Accès à « pc1 » : refusé : NT_STATUS_LOGON_FAILURE. " +
             korvane::PowerFailureRemedy("NT_STATUS_LOGON_FAILURE")},
        {"echo 'RemoteRegistry service is SVC_RUNNING.'", false, "pc1", "accespc1.sh",
         "net rpc service status RemoteRegistry -I 10.0.0.5" + auth,
         "Accès à « pc1 » : accordé, l'arrêt à distance devrait fonctionner."},
        {"exit 0", true, "bureau", "", "",
         "Redémarrage de « bureau » refusé : cet ordinateur est dans la liste des machines à "
         "ne jamais éteindre."},
    };
    for (const auto& c : cases) {
        folder.InstallOnPath("net", std::string(c.net));
        folder.View().statuses.clear();
        folder.View().warnings.clear();
        const bool ran = c.restart ? app.Restart(c.entry) : app.TestAccess(std::string(c.entry));
        ASSERT_TRUE(folder.Settle()) << c.entry;
        EXPECT_EQ(ran, !c.script.empty());
        if (ran) {
            EXPECT_EQ(ScriptCommands(c.script), TextList{c.line});
            EXPECT_EQ(folder.View().statuses, c.told.empty() ? std::vector<std::string>{}
                                                             : std::vector<std::string>{c.told});
        } else {
            EXPECT_EQ(folder.View().warnings, std::vector<std::string>{c.told});
        }
        if (!c.told.empty()) {
            EXPECT_EQ(Console(c.told), 1);
        }
    }
    FollowUps();
    EXPECT_EQ(Console("followRestartReport "), 1);  // the one restart that ran
    EXPECT_EQ(Console("Lancement de ping "), 1);
}

// The dialog's SSH setting goes to liste.ssh (a refused user name keeps the
// saved one); an entry set so gets ssh's command for "OFF", "Redémarrer" and
// "Tester l'accès", refused until Korvane's key exists, and ssh's complaints
// are told with their remedies. "Créer la clé SSH" makes the key once.
TEST_F(PowerTest, SshEntryIsSetFromTheDialogAndShutDownWithKorvanesKey) {
    folder.InstallOnPath("ssh", Recorder(folder / "ssh.calls") + "; exit 0");
    korvane::KorvaneApp& app = Start();
    EXPECT_FALSE(app.SaveSshSetting(0, true, "anne; reboot"));
    EXPECT_TRUE(folder.View().warnings.back().starts_with(
        "Le réglage SSH n'a pas été enregistré. Nom d'utilisateur SSH « anne; reboot » refusé"));
    EXPECT_TRUE(app.SaveSshSetting(0, true, " anne "));
    EXPECT_FALSE(app.SaveSshSetting(0, true, "anne"));  // unchanged: nothing written
    EXPECT_EQ(folder.Read("liste.ssh"), TextList{"pc1 anne"});
    const korvane::EntryCard card = app.Card(0).value();
    EXPECT_TRUE(card.overSsh);
    EXPECT_EQ(card.sshUser, "anne");

    folder.View().warnings.clear();
    app.ShutDown(0);
    ASSERT_EQ(folder.View().warnings.size(), 1u);
    EXPECT_TRUE(folder.View().warnings[0].starts_with("Arrêt de « pc1 » refusé : la clé SSH"))
        << folder.View().warnings[0];
    EXPECT_NE(folder.View().warnings[0].find("est absente"), std::string::npos);

    app.CreateSshKey();
    ASSERT_EQ(folder.View().messages.size(), 1u);
    const std::string shown = folder.View().messages[0];
    EXPECT_NE(shown.find("ssh-ed25519 "), std::string::npos) << shown;
    EXPECT_NE(shown.find(folder.Read("korvane_ssh.pub").at(0)), std::string::npos);
    const auto key = folder.Read("korvane_ssh");
    app.CreateSshKey();  // shown again, never made anew
    EXPECT_EQ(folder.Read("korvane_ssh"), key);
    EXPECT_EQ(folder.View().messages.at(1), shown);

    const std::string options =
        "-o BatchMode=yes -o StrictHostKeyChecking=accept-new -o UserKnownHostsFile=\"" +
        folder.Dir() +
        "known_hosts\" -o HostKeyAlias=korvane-pc1 -o CheckHostIP=no -o IdentitiesOnly=yes -o "
        "ConnectTimeout=15 -i " +
        folder.Dir() + "korvane_ssh -l anne -- 10.0.0.5 ";
    const struct {
        korvane::PowerAction action;
        const char* ssh;  // the stand-in's answer
        std::string remote, told;
    } cases[] = {
        {korvane::PowerAction::Shutdown, "exit 0", "sudo -n systemctl poweroff", ""},
        {korvane::PowerAction::Restart, "echo 'sudo: a password is required' >&2; exit 1",
         "sudo -n systemctl reboot",
         "Redémarrage de « pc1 » en échec : sudo: a password is required. " +
             korvane::PowerFailureRemedy(korvane::kSshSudoPassword)},
        {korvane::PowerAction::TestAccess,
         "echo '@    WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED!     @' >&2; "
         "echo 'Host key verification failed.' >&2; exit 255",
         "true",
         "Accès SSH à « pc1 » : refusé : REMOTE HOST IDENTIFICATION HAS CHANGED. " +
             korvane::PowerFailureRemedy(korvane::kSshHostKeyChanged, "pc1")},
    };
    for (const auto& c : cases) {
        folder.InstallOnPath("ssh", Recorder(folder / "ssh.calls") + "; " + c.ssh);
        fs::remove(folder / "ssh.calls");
        folder.View().statuses.clear();
        if (c.action == korvane::PowerAction::Shutdown) app.ShutDown(0);
        if (c.action == korvane::PowerAction::Restart) app.Reboot(0);
        if (c.action == korvane::PowerAction::TestAccess) app.TestAccess(0);
        ASSERT_TRUE(folder.Settle()) << c.remote;
        EXPECT_EQ(folder.Read("ssh.calls"), TextList{options + c.remote});
        EXPECT_EQ(folder.View().statuses,
                  c.told.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.told});
    }
    EXPECT_TRUE(folder.Lines("net.calls").empty());

    // Unticked, the entry goes back to Samba, though liste.ssh named it twice.
    folder.Write("liste.ssh", {"pc1 anne", "pc2 bob", "PC1 root"});
    EXPECT_TRUE(app.SaveSshSetting(0, false, "anne"));
    EXPECT_EQ(folder.Read("liste.ssh"), TextList{"pc2 bob"});
    app.ShutDown(0);
    EXPECT_EQ(
        ScriptCommands("shutdnpc1.sh"),
        TextList{"net rpc shutdown -f -t 30 -I 10.0.0.5 -A '" + folder.Dir() + "shutdown.auth'"});
    // Unsure which computers want ssh, Korvane sends nothing.
    fs::remove(folder / "liste.ssh");
    fs::create_directory(folder / "liste.ssh");
    folder.View().warnings.clear();
    EXPECT_FALSE(app.Restart("pc1"));
    ASSERT_EQ(folder.View().warnings.size(), 1u);
    EXPECT_TRUE(folder.View().warnings[0].starts_with(
        "Redémarrage de « pc1 » refusé : Réglages SSH illisibles (liste.ssh) : "))
        << folder.View().warnings[0];
}
