// Korvane end to end on computers whose firewall drops pings and every
// connection but to file sharing (tests/lab/firewall-hosts.txt), where
// Samba's smbd answers: the map shows them on, "OFF" shuts them down through
// smbd, and the follow-up tells whether each really went off (PC-BUREAU's
// shutdown script puts it to sleep, PC-COMPTA's does nothing).
#include <gtest/gtest.h>

#include <QPushButton>
#include <filesystem>

#include "korvane/core/KrvVar.h"
#include "lab_support.h"
#include "program_folder.h"
#include "korvane/core/timescale.h"
#include "umachine.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ConsoleLines;
using gui_testing::ProgramFolder;
using gui_testing::WaitFor;
using toolkit::TextList;

const lab::Host& HostById(const std::string& id) {
    for (const lab::Host& host : lab::Hosts()) {
        if (host.id == id) return host;
    }
    throw std::logic_error("firewall-hosts.txt has no " + id);
}

class KorvaneFirewallLab : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        lab::StartSamba(HostById("h2"), lab::ShutdownScript::Sleeps);
        lab::StartSamba(HostById("h3"), lab::ShutdownScript::DoesNothing);
    }
    void SetUp() override {
        folder.InstallProgram("hostping");
        TextList managed, addresses, macs;
        for (const lab::Host* host : hosts) {
            ASSERT_TRUE(host->dropsEcho && host->dropsTcp) << host->id;
            const std::string name = toolkit::AsciiLower(host->netbiosName);
            managed.push_back(name);
            addresses.push_back(name + " " + host->address);
            macs.push_back(name + " " + host->mac);
            folder.Write(name, {host->address});
        }
        folder.Write("localGM", managed);
        folder.Write("liste.ip", addresses);
        folder.Write("liste.mac", macs);
        testing_support::WriteBytes(folder / "shutdown.auth",
                                    "username = root\npassword = " + lab::kSambaPassword + "\n");
        fs::permissions(folder / "shutdown.auth", fs::perms::owner_read | fs::perms::owner_write);
    }
    void TearDown() override {
        for (const lab::Host* host : hosts) lab::Wake(*host);
    }
    void Poll() {
        folder.App().TimerRedrawTimer();
        ASSERT_TRUE(
            WaitFor([this] { return !gui_testing::HasPendingRequests(folder.Form()); }, 10000));
    }
    int Glyph(int entry) const { return folder.Form().EntryButtons.at(entry)->GlyphWidth(); }
    void Off(int entry) {
        gui_testing::ClickEntry(folder.Form(), entry,
                                [](korvane::Tmachines* dialog) { dialog->btn_off->click(); });
    }

    const std::vector<const lab::Host*> hosts = {&HostById("h2"), &HostById("h3")};
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
    EXPECT_TRUE(WaitFor([this] { return lab::IsAsleep(*hosts[0]); }, 10000));
    Poll();
    EXPECT_EQ(Glyph(0), 69);
    Off(1);
    ASSERT_TRUE(
        WaitFor([this] { return ConsoleLines(folder.Form(), "followDownReport ") == 2; }, 40000));
    EXPECT_EQ(lab::ShutdownCalls(*hosts[1]).size(), 1u);
    EXPECT_FALSE(lab::IsAsleep(*hosts[1]));
    const TextList& incidents = folder.App().Vars().ShutdownIncidents;
    ASSERT_EQ(incidents.size(), 1u);
    EXPECT_TRUE(incidents[0].ends_with("\";\"" + hosts[1]->address +
                                       "\";\"ne s'est pas arrêté\";\"raison inconnue\";"))
        << incidents[0];
    EXPECT_TRUE(folder.Messages().isEmpty());
}

}  // namespace
