// Korvane in a small office's LAN, through the real window: no DNS name for
// the computers (Samba's nmbd answers for their NetBIOS names), the gateway
// at .1 beside pc1 at .11 and pc10 at .12, COMPTA without Samba. Every
// action must reach the computer clicked, every follow-up tell what really
// happened, and a refused command be told at once.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

#include "korvane/core/KrvVar.h"
#include "lab_support.h"
#include "korvane/core/power.h"
#include "program_folder.h"
#include "korvane/core/timescale.h"
#include "umachine.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ConsoleLines;
using gui_testing::ProgramFolder;
using gui_testing::WaitFor;
using toolkit::TextList;

const lab::Host& Pc1() {
    return lab::Hosts().at(0);
}
const lab::Host& Pc10() {
    return lab::Hosts().at(1);
}
const lab::Host& Compta() {
    return lab::Hosts().at(2);
}

class KorvaneOfficeLab : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        lab::StartSamba(Pc1(), lab::ShutdownScript::Sleeps);
        lab::StartSamba(Pc10(), lab::ShutdownScript::Sleeps);
    }
    void SetUp() override {
        folder.InstallProgram("hostping");
        folder.InstallProgram("wolcmd");
        folder.InstallOnPath("localc", "true");
        // As netsweep appends them: pc10 found first.
        folder.Write("liste.ip", {"pc10 " + Pc10().address, "pc1 " + Pc1().address,
                                  "compta " + Compta().address});
        folder.Write("liste.mac",
                     {"PC10 " + Pc10().mac, "PC1 " + Pc1().mac, "COMPTA " + Compta().mac});
        testing_support::WriteBytes(folder / "shutdown.auth",
                                    "username = root\npassword = " + lab::kSambaPassword + "\n");
        fs::permissions(folder / "shutdown.auth", fs::perms::owner_read | fs::perms::owner_write);
    }
    void TearDown() override {
        for (const lab::Host& host : lab::Hosts()) lab::Wake(host);
    }
    korvane::TForm1& Start(const TextList& managed) {
        folder.Write("localGM", managed);
        for (const auto& entry : managed) {
            if (!fs::exists(folder / entry)) folder.Write(entry, {entry});
        }
        return folder.StartStill();
    }
    void Press(int entry, bool on) {
        gui_testing::ClickEntry(folder.Form(), entry, [on](korvane::Tmachines* dialog) {
            (on ? dialog->btn_on : dialog->btn_off)->click();
        });
    }
    void Poll() {
        folder.App().TimerRedrawTimer();
        ASSERT_TRUE(
            WaitFor([this] { return !gui_testing::HasPendingRequests(folder.Form()); }, 10000));
    }
    bool Reported(const char* progress, int checks) {
        return WaitFor([&] { return ConsoleLines(folder.Form(), progress) == checks; }, 40000);
    }
    QString Status() const { return folder.Form().StatusMain->currentMessage(); }

    // Follow-ups after 15 s: a loaded machine may take several seconds to get
    // through net, smbd and its shutdown script.
    testing_support::ScopedEnv fast{korvane::kTimeScaleVariable, "20"};
    ProgramFolder folder;
};

// The names of the office are NetBIOS names only: no DNS server or hosts
// file knows them, and hostping finds them on the LAN.
TEST_F(KorvaneOfficeLab, HostpingResolvesTheOfficesNamesByNetbios) {
    EXPECT_NE(lab::RunForStatus("getent hosts pc1").status, 0);
    folder.Write("liste", {"pc1", "PC10", "compta", "absent", "pc1.bureau.lan"});
    const lab::RunResult run = lab::RunForStatus(
        lab::BinPath("hostping") + " '" + (folder / "liste") + "' '" + (folder / "resultat") + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(folder.Read("resultat"), (TextList{"pc1=1", "PC10=1", "compta=1"}));
}

TEST_F(KorvaneOfficeLab, PcOneListedAfterPcTenIsTheOneShownWokenAndShutDown) {
    lab::ScopedSleep pc1Asleep(Pc1());
    lab::ScopedSleep pc10Asleep(Pc10());
    korvane::TForm1& form = Start({"pc1", "pc10"});
    Poll();
    EXPECT_EQ(form.IpCaptions.at(0)->text().toStdString(), Pc1().address);
    EXPECT_EQ(form.IpCaptions.at(1)->text().toStdString(), Pc10().address);
    EXPECT_EQ(form.gw_ip->text().toStdString(), lab::kGateway);
    EXPECT_EQ(form.gw_nom->text(), QString());  // the gateway has no line of its own
    EXPECT_EQ(form.EntryButtons[0]->GlyphWidth(), 69);

    Press(0, true);
    EXPECT_TRUE(WaitFor([] { return !lab::IsAsleep(Pc1()); }, 5000));
    WaitFor([] { return false; }, 500);
    EXPECT_TRUE(lab::IsAsleep(Pc10()));
    Poll();
    EXPECT_EQ(form.EntryButtons[0]->GlyphWidth(), 67);
    EXPECT_EQ(form.EntryButtons[1]->GlyphWidth(), 69);
    ASSERT_TRUE(Reported("followupReport ", 1));
    EXPECT_TRUE(folder.App().Vars().WolIncidents.empty());

    lab::Wake(Pc10());
    const std::size_t pc10Calls = lab::ShutdownCalls(Pc10()).size();
    Press(0, false);
    EXPECT_TRUE(WaitFor([] { return lab::IsAsleep(Pc1()); }, 10000));
    EXPECT_FALSE(lab::IsAsleep(Pc10()));
    EXPECT_EQ(lab::ShutdownCalls(Pc10()).size(), pc10Calls);
    ASSERT_TRUE(Reported("followDownReport ", 1));
    EXPECT_TRUE(folder.App().Vars().ShutdownIncidents.empty());
    EXPECT_TRUE(folder.Messages().isEmpty());
}

// COMPTA runs no Samba: the command is refused at once and the status bar
// says why, and how to mend it; five minutes later COMPTA still answers, once.
TEST_F(KorvaneOfficeLab, OffOnAComputerWithoutSambaIsToldAtOnceAndIsOneIncident) {
    korvane::TForm1& form = Start({"compta"});
    Press(0, false);
    const QString refused =
        QString::fromStdString("Arrêt de « compta » en échec : NT_STATUS_CONNECTION_REFUSED. " +
                               korvane::PowerFailureRemedy("NT_STATUS_CONNECTION_REFUSED"));
    EXPECT_TRUE(WaitFor([&] { return Status() == refused; }, 3000)) << Status().toStdString();
    EXPECT_EQ(ConsoleLines(form, refused), 1);
    EXPECT_EQ(ConsoleLines(form, "followDownReport "), 0);  // told long before the follow-up
    ASSERT_TRUE(Reported("followDownReport ", 1));
    WaitFor([] { return false; }, 500);
    const TextList& incidents = folder.App().Vars().ShutdownIncidents;
    ASSERT_EQ(incidents.size(), 1u);
    EXPECT_TRUE(
        incidents[0].ends_with("\";\"compta\";\"ne s'est pas arrêté\";\"raison inconnue\";"))
        << incidents[0];
}

// pc10 has no address in liste.ip: the poll and the follow-up find it by its
// NetBIOS name, and the wake-up reaches it through the LAN's broadcast.
TEST_F(KorvaneOfficeLab, OnWakesASleepingComputerKnownByNameAloneAndRecordsNoIncident) {
    folder.Write("liste.ip", {"pc1 " + Pc1().address});
    lab::ScopedSleep asleep(Pc10());
    korvane::TForm1& form = Start({"pc10"});
    Poll();
    ASSERT_EQ(form.EntryButtons.at(0)->GlyphWidth(), 69);
    Press(0, true);
    EXPECT_TRUE(WaitFor([] { return !lab::IsAsleep(Pc10()); }, 5000));
    Poll();
    EXPECT_EQ(form.EntryButtons[0]->GlyphWidth(), 67);
    ASSERT_TRUE(Reported("followupReport ", 1));
    EXPECT_TRUE(folder.App().Vars().WolIncidents.empty());
    EXPECT_FALSE(Status().contains(QStringLiteral("sans verdict"))) << Status().toStdString();
}

TEST_F(KorvaneOfficeLab, GroupOfTwoIsWokenAndShutDownWithOneClickEach) {
    folder.Write("bureau", {"pc1", "pc10"});
    lab::ScopedSleep pc1Asleep(Pc1());
    lab::ScopedSleep pc10Asleep(Pc10());
    const std::size_t pc1Calls = lab::ShutdownCalls(Pc1()).size();
    const std::size_t pc10Calls = lab::ShutdownCalls(Pc10()).size();
    Start({"bureau"});
    Press(0, true);
    EXPECT_TRUE(WaitFor([] { return !lab::IsAsleep(Pc1()) && !lab::IsAsleep(Pc10()); }, 5000));
    ASSERT_TRUE(Reported("followupReport ", 2));
    EXPECT_TRUE(folder.App().Vars().WolIncidents.empty());
    Press(0, false);
    EXPECT_TRUE(WaitFor([] { return lab::IsAsleep(Pc1()) && lab::IsAsleep(Pc10()); }, 10000));
    EXPECT_EQ(lab::ShutdownCalls(Pc1()).size(), pc1Calls + 1);
    EXPECT_EQ(lab::ShutdownCalls(Pc10()).size(), pc10Calls + 1);
    ASSERT_TRUE(Reported("followDownReport ", 2));
    EXPECT_TRUE(folder.App().Vars().ShutdownIncidents.empty());
    EXPECT_TRUE(folder.Messages().isEmpty());
}

}  // namespace
