// Korvane end to end on computers whose firewall drops pings and every
// connection but to file sharing (tests/lab/firewall-hosts.txt), where
// Samba's smbd answers: the map shows them on, "OFF" shuts them down through
// smbd, and the follow-up tells whether each really went off (PC-BUREAU's
// shutdown script puts it to sleep, PC-COMPTA's does nothing); and on a
// router that gave two computers each other's address.
#include <gtest/gtest.h>

#include <QPushButton>
#include <algorithm>
#include <filesystem>
#include <thread>

#include "korvane/core/KrvVar.h"
#include "korvane/core/timescale.h"
#include "lab_support.h"
#include "program_folder.h"
#include "umachine.h"
#include "wakeonlan.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ConsoleLines;
using gui_testing::ProgramFolder;
using gui_testing::WaitFor;
using toolkit::TextList;

class KorvaneFirewallLab : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        lab::StartSamba(lab::HostById("h2"), lab::ShutdownScript::Sleeps);
        lab::StartSamba(lab::HostById("h3"), lab::ShutdownScript::DoesNothing);
    }
    void SetUp() override {
        folder.InstallProgram("hostping");
        std::vector<lab::Host> managed;
        for (const lab::Host* host : hosts) {
            ASSERT_TRUE(host->dropsEcho && host->dropsTcp) << host->id;
            managed.push_back(*host);
        }
        const auto byAddress = [](const lab::Host& host) { return host.address; };
        lab::WriteInventory(folder.Dir(), managed, lab::Macs::Listed, byAddress);
        testing_support::WriteBytes(folder / "shutdown.auth",
                                    "username = root\npassword = " + lab::kSambaPassword + "\n");
        fs::permissions(folder / "shutdown.auth", fs::perms::owner_read | fs::perms::owner_write);
    }
    void TearDown() override {
        for (const lab::Host* host : hosts) lab::Wake(*host);
    }
    // The waits end on the event; their bounds only stop a test that hangs,
    // far beyond what a machine loaded by other runs takes (each step here
    // runs hostping, smbd, net or netsweep, a few seconds on a busy machine).
    void Poll() {
        folder.App().TimerRedrawTimer();
        ASSERT_TRUE(
            WaitFor([this] { return !gui_testing::HasPendingRequests(folder.Form()); }, kStep));
    }
    int Glyph(int entry) const { return folder.Form().EntryButtons.at(entry)->GlyphWidth(); }
    void Off(int entry) {
        gui_testing::ClickEntry(folder.Form(), entry,
                                [](korvane::Tmachines* dialog) { dialog->btn_off->click(); });
    }

    static constexpr int kStep = 60000;
    const std::vector<const lab::Host*> hosts = {&lab::HostById("h2"), &lab::HostById("h3")};
    // Follow-ups after 15 s.
    testing_support::ScopedEnv fast{korvane::kTimeScaleVariable, "20"};
    ProgramFolder folder;
};

TEST_F(KorvaneFirewallLab, ShownOnShutDownThroughSmbdAndTheFollowUpTellsWhetherItWentOff) {
    folder.StartStill();
    Poll();
    EXPECT_EQ(Glyph(0), 67) << "PC-BUREAU drops pings but serves file sharing";
    EXPECT_EQ(Glyph(1), 67) << "PC-COMPTA drops pings but serves file sharing";

    Off(0);
    EXPECT_TRUE(WaitFor([this] { return lab::IsAsleep(*hosts[0]); }, kStep));
    Poll();
    EXPECT_EQ(Glyph(0), 69);
    Off(1);
    // Each follow-up comes 15 s after its command, then checks its computer.
    ASSERT_TRUE(WaitFor([this] { return ConsoleLines(folder.Form(), "followDownReport ") == 2; },
                        2 * kStep));
    EXPECT_EQ(lab::ShutdownCalls(*hosts[1]).size(), 1u);
    EXPECT_FALSE(lab::IsAsleep(*hosts[1]));
    const TextList& incidents = folder.App().Vars().ShutdownIncidents;
    ASSERT_EQ(incidents.size(), 1u);
    EXPECT_TRUE(incidents[0].ends_with("\";\"" + hosts[1]->address +
                                       "\";\"ne s'est pas arrêté\";\"raison inconnue\";"))
        << incidents[0];
    EXPECT_TRUE(folder.Messages().isEmpty());
}

// The router gave pc-salon's address to pc-accueil and pc-accueil's to
// pc-salon (leases swapped while both slept) before netsweep's next run. The
// map does not show one computer under the other's name, "OFF" on pc-salon
// is refused and reaches neither smbd, and the run started at once sets the
// lists right.
TEST(KorvaneMovedAddressLab, SwappedAddressesAreToldAndNeverShutTheOtherComputerDown) {
    ProgramFolder folder;
    folder.InstallProgram("netsweep");
    folder.InstallProgram("hostping");
    const lab::Host& salon = lab::HostById("h1");
    const lab::Host& accueil = lab::HostById("h6");
    folder.Write("localGM", {"pc-salon", "pc-accueil"});
    folder.Write("liste.mac", {"pc-salon " + salon.mac, "pc-accueil " + accueil.mac});
    testing_support::WriteBytes(folder / "shutdown.auth",
                                "username = root\npassword = " + lab::kSambaPassword + "\n");
    fs::permissions(folder / "shutdown.auth", fs::perms::owner_read | fs::perms::owner_write);
    const std::string marker = folder / "netsweep.lck";
    const auto scanDone = [&] { return !fs::exists(marker); };
    korvane::TForm1& form = folder.StartStill();  // its first run fills liste.ip
    constexpr int kStep = 60000;  // as above: an end on the event, a bound for a hang
    ASSERT_TRUE(WaitFor([&] { return fs::exists(folder / "liste.ip") && scanDone(); }, kStep));
    const auto poll = [&] {
        folder.App().TimerRedrawTimer();
        ASSERT_TRUE(WaitFor([&] { return !gui_testing::HasPendingRequests(form); }, kStep));
    };
    poll();
    const toolkit::TextList before = folder.App().Vars().IpList;

    lab::Readdress(salon, "198.18.0.99");
    lab::Readdress(accueil, salon.address);
    lab::Readdress(salon, accueil.address);
    lab::StartSamba(salon, lab::ShutdownScript::DoesNothing);
    lab::StartSamba(accueil, lab::ShutdownScript::DoesNothing);
    poll();
    for (int entry : {0, 1}) {
        const korvane::MapEntry& cell = folder.App().Map().entries.at(entry);
        EXPECT_TRUE(cell.addressTaken) << entry;
        EXPECT_FALSE(cell.up) << entry;
        EXPECT_TRUE(cell.hint.starts_with("adresse occupée par un autre appareil (MAC "))
            << cell.hint;
        EXPECT_EQ(form.EntryButtons.at(entry)->GlyphWidth(), 69) << entry;
    }
    EXPECT_EQ(folder.App().Vars().IpList, before);  // the lists have not caught up yet

    gui_testing::ClickEntry(form, 0, [](korvane::Tmachines* dialog) { dialog->btn_off->click(); });
    ASSERT_EQ(folder.Messages().size(), 1);
    const std::string refusal = folder.Messages()[0].toStdString();
    EXPECT_TRUE(refusal.starts_with("Arrêt de « pc-salon » refusé : l'adresse " + salon.address +
                                    " est occupée par un autre appareil (MAC " +
                                    toolkit::MacText(*toolkit::ParseMac(accueil.mac)) + ")"))
        << refusal;
    const std::size_t seen = refusal.find("« pc-salon » est vu a");
    ASSERT_NE(seen, std::string::npos) << refusal;
    EXPECT_NE(refusal.find(accueil.address, seen), std::string::npos) << refusal;
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(lab::ShutdownCalls(accueil).empty());
    EXPECT_TRUE(lab::ShutdownCalls(salon).empty());

    // The run started when the poll saw it sets the lists right.
    const std::string salonMoved = "pc-salon " + accueil.address;
    ASSERT_TRUE(WaitFor(
        [&] {
            const toolkit::TextList lines = folder.Read("liste.ip");
            return std::find(lines.begin(), lines.end(), salonMoved) != lines.end() && scanDone();
        },
        kStep))
        << testing::PrintToString(folder.Read("liste.ip"))
        << testing::PrintToString(folder.Read("liste.mac"));
    poll();  // reads the lists again
    poll();
    EXPECT_EQ(folder.App().Vars().FindIP("pc-accueil"), salon.address);
    for (int entry : {0, 1}) {
        EXPECT_FALSE(folder.App().Map().entries.at(entry).addressTaken) << entry;
        EXPECT_TRUE(folder.App().Map().entries.at(entry).up) << entry;
    }
}

}  // namespace
