// hostping and the follow-up check on the LAN users have (tests/lab/
// firewall-hosts.txt): computers whose firewall drops pings, a link that
// loses echo requests, and hosts that sleep for real (no ARP, no TCP).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "korvane/core/followup.h"
#include "korvane/core/polling.h"
#include "lab_support.h"
#include "raw_ping.h"
#include "utils.h"

namespace {

namespace fs = std::filesystem;
using toolkit::TextList;

class FirewallLab : public testing::Test {
  protected:
    // PC-BUREAU shares files: its firewall lets port 445 through to smbd.
    static void SetUpTestSuite() {
        lab::StartSamba(lab::HostById("h2"), lab::ShutdownScript::DoesNothing);
    }
    void SetUp() override {
        std::string pattern = fs::temp_directory_path() / "firewall-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern + "/";
    }
    void TearDown() override {
        for (const lab::Host& host : lab::Hosts()) lab::Wake(host);
        fs::remove_all(folder_);
    }

    // The hosts hostping finds on, as it writes them.
    TextList Poll(const std::vector<std::string>& ids) const {
        TextList list;
        for (const auto& id : ids) list.push_back(lab::HostById(id).address);
        toolkit::SaveLines(folder_ + "liste", list);
        fs::remove(folder_ + "resultat");
        const std::string line =
            lab::BinPath("hostping") + " " + folder_ + "liste " + folder_ + "resultat";
        EXPECT_EQ(std::system(line.c_str()), 0) << line;
        return toolkit::LoadLines(folder_ + "resultat");
    }

    // The follow-up check of `id` as Korvane runs it, in its slot: the
    // result file with the verdict line last.
    TextList Check(const std::string& id) const {
        const toolkit::ToolPaths paths{lab::BinPath(""), folder_};
        const lab::Host& host = lab::HostById(id);
        const std::uint8_t slot = 7;
        const korvane::SlotFiles files = korvane::SlotFilesFor(toolkit::Os::Posix, paths, slot);
        fs::remove(files.result);
        toolkit::SaveText(files.script, korvane::CheckScript(toolkit::Os::Posix, paths,
                                                             host.netbiosName, host.address, slot)
                                            .value());
        korvane::ArmMarker(files.marker);
        EXPECT_EQ(std::system(("/bin/sh " + files.script).c_str()), 0);
        EXPECT_FALSE(korvane::MarkerIsArmed(files.marker));
        return toolkit::LoadLines(files.result);
    }

    std::string folder_;
};

// A computer is on when it answers the echo, or accepts or resets a TCP
// connection; one that sleeps answers nothing. A Windows computer whose
// firewall lets nothing through cannot be told from one that is off.
TEST_F(FirewallLab, ComputersThatDropPingsAreShownOnAndSleepersOff) {
    struct Case {
        const char* id;
        bool on;
        const char* why;
    };
    const std::vector<std::string> all = {"h1", "h2", "h3", "h6"};
    for (const bool asleep : {false, true}) {
        const Case cases[] = {
            {"h1", !asleep, "drops pings, resets connections to closed ports"},
            {"h2", !asleep, "drops pings, smbd accepts on 445 through its firewall"},
            {"h3", false, "drops pings and every connection"},
            {"h6", !asleep, "answers pings"},
        };
        if (asleep) {
            for (const char* id : {"h1", "h2", "h6"}) lab::Sleep(lab::HostById(id));
        }
        const TextList found = Poll(all);
        for (const Case& c : cases) {
            const bool listed =
                toolkit::IndexOfLine(found, lab::HostById(c.id).address + "=1").has_value();
            EXPECT_EQ(listed, c.on) << c.id << " (" << c.why << (asleep ? ", asleep" : "") << ")";
        }
    }
}

// The link loses 30 % of the echo requests: one request finds the host about
// 7 times in 10. The poll finds it on in at least 99 % of 200 polls thanks to
// its second request and its connections; behind a firewall that lets only
// pings through, the second request alone finds it about 9 times in 10.
TEST_F(FirewallLab, ALossyLinkLeavesARunningHostOnInAtLeast99PercentOfPolls) {
    const lab::Host& lossy = lab::HostById("h4");
    const lab::Host& lossyFirewalled = lab::HostById("h5");
    ASSERT_EQ(lossy.lossPercent, 30);
    ASSERT_TRUE(lossyFirewalled.dropsTcp && !lossyFirewalled.dropsEcho);
    constexpr int kPolls = 200;
    const std::vector<toolkit::IPv4> once(kPolls, toolkit::HostToIPv4(lossy.address));
    int oneRequest = 0;
    for (const bool answered : toolkit::IcmpProbeAddresses(once, std::chrono::milliseconds(300))) {
        oneRequest += answered ? 1 : 0;
    }
    int plain = 0, firewalled = 0;
    for (int poll = 0; poll < kPolls; ++poll) {
        const TextList found = Poll({"h4", "h5"});
        plain += toolkit::IndexOfLine(found, lossy.address + "=1").has_value() ? 1 : 0;
        firewalled +=
            toolkit::IndexOfLine(found, lossyFirewalled.address + "=1").has_value() ? 1 : 0;
    }
    EXPECT_GE(oneRequest, 100) << "the link should lose about 30 %";
    EXPECT_LE(oneRequest, 170) << "the link should lose about 30 %";
    EXPECT_GE(plain, 198);
    EXPECT_GE(firewalled, 165);
}

// After a wake-up, a running host behind the lossy link is never an
// incident; a sleeping one is, after the check's three rounds.
TEST_F(FirewallLab, FollowUpChecksOfALossyHostGiveNoFalseIncident) {
    for (int check = 0; check < 20; ++check) {
        const TextList output = Check("h4");
        ASSERT_FALSE(output.empty());
        EXPECT_EQ(output.back(), lab::HostById("h4").netbiosName + "=up");
        EXPECT_FALSE(korvane::CheckIncident(korvane::FollowKind::WakeUp, output).has_value());
    }
    lab::ScopedSleep asleep(lab::HostById("h6"));
    const TextList output = Check("h6");
    EXPECT_EQ(output, TextList{lab::HostById("h6").netbiosName + "=down"});
    EXPECT_TRUE(korvane::CheckIncident(korvane::FollowKind::WakeUp, output).has_value());
    EXPECT_FALSE(korvane::CheckIncident(korvane::FollowKind::Shutdown, output).has_value());
}

}  // namespace
