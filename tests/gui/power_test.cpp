// The power commands through the real window: the on/off dialog, the scripts
// and console lines of "ON" and "OFF", their refusals, the follow-ups with
// their incidents and reports. wolcmd, net and the openers are stand-ins that
// record their arguments (the lab runs the real ones); the follow-up checks
// run the real ping on this private namespace's loopback.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QPlainTextEdit>
#include <QStatusBar>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "KrvVar.h"
#include "forms.h"
#include "power.h"
#include "program_folder.h"
#include "timescale.h"
#include "umachine.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ProgramFolder;
using gui_testing::WaitFor;
using toolkit::TextList;

// Appends its arguments as one line to FILE in the program folder.
std::string Recorder(const std::string& file) {
    return "echo \"$*\" >> \"" + file + "\"";
}

class PowerTest : public testing::Test {
  protected:
    void SetUp() override {
        folder.Write("localGM", {"pc1", "pc2", "bureau"});
        folder.Write("liste.ip", {"pc1 10.0.0.5", "bureau 10.0.0.9"});
        folder.Write("liste.mac", {"PC1 02-4B-52-00-00-05", "PC2 02-4B-52-00-00-06"});
        for (const char* entry : {"pc1", "pc2", "bureau"}) folder.Write(entry, {});
        folder.InstallScript("wolcmd", Recorder(folder / "wolcmd.calls"));
        folder.InstallOnPath("net", Recorder(folder / "net.calls"));
        folder.InstallOnPath("localc", Recorder(folder / "opened"));
        testing_support::WriteBytes(folder / "shutdown.auth", "username = root\npassword = x\n");
        fs::permissions(folder / "shutdown.auth", fs::perms::owner_read | fs::perms::owner_write);
    }
    korvane::TForm1& Start() { return folder.StartStill(); }
    void Click(int entry, const std::function<void(korvane::Tmachines*)>& press) {
        gui_testing::ClickEntry(folder.Form(), entry, press);
    }
    int FollowUps() const {
        int armed = 0;
        for (const auto* timer : folder.Form().findChildren<korvane::TTimer*>()) {
            armed += timer->interval() == korvane::ScaledInterval(korvane::kFollowUpDelay);
        }
        return armed;
    }
    int ConsoleLines(const QString& start) const {
        return gui_testing::ConsoleLines(folder.Form(), start);
    }
    TextList Calls(const std::string& file) const {
        return fs::exists(folder / file) ? folder.Read(file) : TextList{};
    }
    // The commands of a power script, without what sends their outcome back.
    TextList ScriptCommands(const std::string& script) const {
        TextList commands;
        for (const auto& line : folder.Read(script)) {
            const std::size_t report = line.find(" >>'" + folder.Scratch());
            if (report != std::string::npos) commands.push_back(line.substr(0, report));
        }
        return commands;
    }
    QString Status() const { return folder.Form().StatusMain->currentMessage(); }

    testing_support::ScopedEnv slow{korvane::kTimeScaleVariable, std::nullopt};
    ProgramFolder folder;
};

TEST_F(PowerTest, OnWritesOneScriptPerEntryLogsEachCommandAndArmsAFollowUp) {
    korvane::TForm1& form = Start();
    Click(0, [](korvane::Tmachines* d) {
        EXPECT_EQ(d->nommachine->text(), QStringLiteral("PC1"));
        EXPECT_EQ(d->ipmachine->text(), QStringLiteral("10.0.0.5"));
        EXPECT_EQ(d->macmachine->text(), QStringLiteral("02-4B-52-00-00-05"));
        d->btn_on->click();
    });
    korvane::Krv().MacList = {"PC1 02:4b:52:00:00:07", "PC2 02-4B-52-00-00-06"};  // a new MAC
    Click(0, [](korvane::Tmachines* d) { d->btn_on->click(); });
    const std::string first =
        "'" + folder.Dir() + "wolcmd' 02-4B-52-00-00-05 10.0.0.5 255.255.255.0";
    const std::string second =
        "'" + folder.Dir() + "wolcmd' 02:4b:52:00:00:07 10.0.0.5 255.255.255.0";
    EXPECT_EQ(ScriptCommands("poweruppc1.sh"), TextList{second});
    EXPECT_EQ(ConsoleLines(QString::fromStdString("commande lancée : " + first)), 1);
    EXPECT_EQ(ConsoleLines(QString::fromStdString("commande lancée : " + second)), 1);
    EXPECT_TRUE(WaitFor([&] { return Calls("wolcmd.calls").size() == 2; }));
    // The two scripts run side by side: the first may already read the second's text.
    for (const std::string& call : Calls("wolcmd.calls")) {
        EXPECT_TRUE(call == first.substr(first.find("' ") + 2) ||
                    call == second.substr(second.find("' ") + 2))
            << call;
    }
    EXPECT_EQ(FollowUps(), 2);

    // Without an address the packet goes to every host of the LAN.
    form.PowerUp("pc2");
    EXPECT_EQ(ScriptCommands("poweruppc2.sh"),
              TextList{"'" + folder.Dir() + "wolcmd' 02-4B-52-00-00-06 255.255.255.255 255.255.255.0"});
}

TEST_F(PowerTest, OffRunsNetWithTheAuthenticationFileAndArmsAFollowUp) {
    Start();
    Click(0, [](korvane::Tmachines* d) { d->btn_off->click(); });
    const std::string line =
        "net rpc shutdown -f -t 30 -I 10.0.0.5 -A '" + folder.Dir() + "shutdown.auth'";
    EXPECT_EQ(ScriptCommands("shutdnpc1.sh"), TextList{line});
    EXPECT_EQ(ConsoleLines(QString::fromStdString("commande lancée : " + line)), 1);
    EXPECT_TRUE(WaitFor([&] { return !Calls("net.calls").empty(); }));
    EXPECT_EQ(Calls("net.calls"),
              (TextList{"rpc shutdown -f -t 30 -I 10.0.0.5 -A " + folder.Dir() + "shutdown.auth"}));
    EXPECT_EQ(FollowUps(), 1);
    EXPECT_TRUE(folder.Messages().isEmpty());
}

// A refused command says why, in a message and the console log, and runs
// nothing: no script, no follow-up. The close box sends nothing at all. (The
// refusals for shutdown.auth are tested in the lab.)
TEST_F(PowerTest, RefusedCommandsAndTheCloseBoxRunNothing) {
    korvane::TForm1& form = Start();
    // So that the map shows pc2, which has no address.
    form.LocalHost.gateway = form.LocalHost.dnsServer = form.LocalHost.dhcpServer = "10.9.9.9";
    form.Redraw_network();
    Click(1, [](korvane::Tmachines* d) { d->close(); });
    Click(1, [](korvane::Tmachines* d) { d->btn_off->click(); });  // pc2 has no address
    form.PowerUp("bureau");                                        // nor a MAC
    korvane::Krv().MacList = {"PC1 02-4B-52-00-00-05;reboot"};
    form.PowerUp("pc1");
    const QStringList expected = {"Arrêt de « pc2 » refusé : aucune adresse IP",
                                  "wake-on-lan : pas d'adresse MAC pour bureau",
                                  "adresse MAC invalide"};
    ASSERT_EQ(folder.Messages().size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(folder.Messages()[i].contains(expected[i]))
            << folder.Messages()[i].toStdString();
        EXPECT_TRUE(form.console->toPlainText().contains(expected[i])) << i;
    }
    for (const auto& entry : fs::directory_iterator(folder.Dir())) {
        const std::string name = entry.path().filename();
        EXPECT_FALSE(name.starts_with("powerup") || name.starts_with("shutdn")) << name;
    }
    EXPECT_EQ(ConsoleLines(QStringLiteral("commande lancée")), 0);
    EXPECT_EQ(FollowUps(), 0);
    WaitFor([] { return false; }, 200);
    EXPECT_TRUE(Calls("net.calls").empty() && Calls("wolcmd.calls").empty());
}

// The checks probe for real with hostping, at each member's address: "ici"
// (127.0.0.1) answers, "loin" (10.255.255.1) has no route in this namespace.
// After "OFF" the one that answers is an incident, after "ON" the one that
// does not; each report file holds its incidents.
TEST_F(PowerTest, FollowUpsRecordContradictingHostsAndTheReportsShowThem) {
    testing_support::ScopedEnv fast(korvane::kTimeScaleVariable, "1000");
    folder.InstallProgram("hostping");
    folder.Write("liste.ip", {"ici 127.0.0.1", "loin 10.255.255.1"});
    folder.Write("liste.mac", {"PC1 02-4B-52-00-00-05"});
    folder.Write("bureau", {"ici", "", "loin", "pc;x"});
    folder.Write("pc1", {"loin"});
    korvane::TForm1& form = Start();
    form.Shutdown("bureau");
    form.PowerUp("pc1");
    ASSERT_TRUE(WaitFor(
        [&] {
            return ConsoleLines("followDownReport ") == 2 && ConsoleLines("followupReport ") == 1;
        },
        10000))
        << form.console->toPlainText().toStdString();
    EXPECT_EQ(ConsoleLines("Lancement de ping "), 3);
    EXPECT_TRUE(form.console->toPlainText().contains(QStringLiteral("pc;x non lancée")));
    const TextList& down = korvane::Krv().ShutdownIncidents;
    const TextList& up = korvane::Krv().WolIncidents;
    ASSERT_EQ(down.size(), 1u);
    EXPECT_TRUE(down[0].ends_with("\";\"ici\";\"ne s'est pas arrêté\";\"raison inconnue\";"))
        << down[0];
    ASSERT_EQ(up.size(), 1u);
    EXPECT_TRUE(up[0].ends_with("\";\"loin\";\"ne s'est pas mis en marche\";\"raison inconnue\";"))
        << up[0];
    EXPECT_EQ(ConsoleLines(QString::fromStdString(down[0])), 1);

    form.Incidentsshutdown1Click();
    form.IncidentsWOL1Click();
    EXPECT_EQ(folder.Read("shutdown.followup"), down);
    EXPECT_EQ(folder.Read("wol.followup"), up);
    EXPECT_TRUE(WaitFor([&] {
        return Calls("opened") == TextList{folder / "shutdown.followup", folder / "wol.followup"};
    }));
}

TEST_F(PowerTest, FollowUpWithoutItsEntryOrGroupFileOrResultReachesNoVerdict) {
    testing_support::ScopedEnv fast(korvane::kTimeScaleVariable, "1000");
    korvane::TForm1& form = Start();
    form.PowerUp("pc2");                   // entry 1
    korvane::Krv().ManagedList = {"pc2"};  // the list shrank before its follow-up
    korvane::Krv().IpList.push_back("pc2 10.0.0.6");
    fs::remove(folder / "pc2");
    form.Shutdown("pc2");  // entry 0 now, without a group file
    ASSERT_TRUE(WaitFor([&] { return FollowUps() == 0; }, 5000));
    EXPECT_TRUE(form.console->toPlainText().contains(
        QStringLiteral("Vérification après le réveil abandonnée : l'entrée n° 1 n'existe plus.")));
    ASSERT_EQ(folder.Messages().size(), 1);
    EXPECT_TRUE(folder.Messages()[0].startsWith(
        QStringLiteral("Vérification après l'arrêt de « pc2 » impossible")));
    EXPECT_EQ(ConsoleLines("Lancement de ping "), 0);

    // A slot whose script ended but whose result is gone: the check stops.
    folder.Write("scratch/200.mark", {});
    auto* timer = new korvane::TTimer(&form);
    timer->Tag = 200;
    form.PingTimers[200] = timer;
    form.FollowDownReport(timer);
    EXPECT_EQ(form.PingTimers[200], nullptr);
    EXPECT_EQ(ConsoleLines("Vérification après l'arrêt sans verdict."), 1);
    EXPECT_EQ(Status().toStdString(), "Vérification après l'arrêt sans verdict.");
    EXPECT_TRUE(korvane::Krv().ShutdownIncidents.empty());
}

// "ON" and "OFF" on a group act on each of its computers, one line each; a
// computer that lacks what the command needs is named and left out.
TEST_F(PowerTest, GroupGetsOneLinePerComputerAndItsRefusedComputersAreNamed) {
    folder.Write("bureau", {"pc1", "pc2"});
    korvane::TForm1& form = Start();
    form.PowerUp("bureau");
    EXPECT_EQ(ScriptCommands("powerupbureau.sh"),
              (TextList{"'" + folder.Dir() + "wolcmd' 02-4B-52-00-00-05 10.0.0.5 255.255.255.0",
                        "'" + folder.Dir() + "wolcmd' 02-4B-52-00-00-06 255.255.255.255 "
                        "255.255.255.0"}));
    EXPECT_TRUE(WaitFor([&] { return Calls("wolcmd.calls").size() == 2; }));
    form.Shutdown("bureau");  // pc2 has no address
    EXPECT_EQ(ScriptCommands("shutdnbureau.sh"),
              TextList{"net rpc shutdown -f -t 30 -I 10.0.0.5 -A '" + folder.Dir() +
                       "shutdown.auth'"});
    EXPECT_TRUE(Status().startsWith(QStringLiteral("Arrêt de « pc2 » refusé : aucune adresse IP")))
        << Status().toStdString();
    EXPECT_TRUE(WaitFor([&] { return Calls("net.calls").size() == 1; }));
    EXPECT_EQ(FollowUps(), 2);
    EXPECT_TRUE(folder.Messages().isEmpty());
    folder.Write("liste.ip", {});  // no computer of the group can be reached now
    korvane::Krv().IpList.clear();
    form.Shutdown("bureau");
    ASSERT_EQ(folder.Messages().size(), 1);
    EXPECT_TRUE(folder.Messages()[0].startsWith(QStringLiteral(
        "Arrêt de « bureau » refusé : aucun de ses ordinateurs ne peut recevoir la commande.")));
    EXPECT_EQ(FollowUps(), 2);
}

// A command whose tool fails is told at once in the status bar, with the
// tool's reason and its remedy, and its lines stay in the console log; one that works says
// nothing. Blanks after the address in liste.ip do not stop the commands.
TEST_F(PowerTest, FailedCommandIsToldAtOnceWithTheToolsReason) {
    folder.InstallOnPath("net", "echo 'Shutdown of remote machine failed'; "
                                "echo 'result was: WERR_ACCESS_DENIED'; exit 1");
    folder.InstallScript("wolcmd", "echo \"wolcmd : envoi impossible vers $2 : réseau "
                                   "injoignable (aucune route vers ce réseau)\" >&2; exit 1");
    folder.Write("liste.ip", {"pc1 10.0.0.5 ", "pc2 10.0.0.6"});
    korvane::TForm1& form = Start();
    form.Shutdown("pc1");
    const QString refused =
        QString::fromStdString("Arrêt de « pc1 » en échec : WERR_ACCESS_DENIED. " +
                               korvane::PowerFailureRemedy("WERR_ACCESS_DENIED"));
    ASSERT_TRUE(WaitFor([&] { return Status() == refused; }, 3000)) << Status().toStdString();
    EXPECT_EQ(ConsoleLines(refused), 1);
    EXPECT_EQ(ConsoleLines(QStringLiteral("pc1 : result was: WERR_ACCESS_DENIED")), 1);
    form.PowerUp("pc1");
    const QString unreachable = QStringLiteral(
        "Réveil de « pc1 » en échec : wolcmd : envoi impossible vers 10.0.0.5 : réseau "
        "injoignable (aucune route vers ce réseau).");
    ASSERT_TRUE(WaitFor([&] { return Status() == unreachable; }, 3000)) << Status().toStdString();
    folder.InstallOnPath("net", "exit 0");
    form.StatusMain->clearMessage();
    form.Shutdown("pc2");
    EXPECT_TRUE(WaitFor([&] { return !gui_testing::HasPendingRequests(form); }, 3000));
    EXPECT_FALSE(Status().contains(QStringLiteral("en échec"))) << Status().toStdString();
    EXPECT_EQ(FollowUps(), 3);
    EXPECT_TRUE(folder.Messages().isEmpty());
}

// On a LAN wider than a /24 the packet goes to the LAN's real broadcast address.
TEST_F(PowerTest, WakeUpUsesTheMaskOfTheLocalNetworkHoldingTheAddress) {
    korvane::TForm1& form = Start();
    korvane::Krv().LocalAddresses = {"127.0.0.1", "10.0.3.2"};
    korvane::Krv().LocalMasks = {"255.0.0.0", "255.255.240.0"};
    form.PowerUp("pc1");
    EXPECT_EQ(ScriptCommands("poweruppc1.sh"),
              TextList{"'" + folder.Dir() + "wolcmd' 02-4B-52-00-00-05 10.0.0.5 255.255.240.0"});
}

}  // namespace
