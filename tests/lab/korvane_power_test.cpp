// Korvane's power commands end to end in the lab, through the real window:
// "ON" sends the real wolcmd's magic packet to a sleeping host; "OFF" runs
// Samba's real net rpc shutdown against a host's real smbd, whose shutdown
// script puts the host to sleep (h2) or does nothing (h3); the follow-ups
// probe with hostping and record what contradicts the command.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <filesystem>

#include "korvane/core/KrvVar.h"
#include "korvane/core/timescale.h"
#include "lab_support.h"
#include "program_folder.h"
#include "reseau.h"
#include "umachine.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ConsoleLines;
using gui_testing::ProgramFolder;
using gui_testing::WaitFor;
using lab::MemberName;
using toolkit::TextList;

void Press(korvane::TForm1& form, int entry, bool on) {
    gui_testing::ClickEntry(form, entry, [on](korvane::Tmachines* dialog) {
        (on ? dialog->btn_on : dialog->btn_off)->click();
    });
}

class KorvanePowerLab : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        lab::StartSamba(lab::HostAt(1), lab::ShutdownScript::Sleeps);
        lab::StartSamba(lab::HostAt(2), lab::ShutdownScript::DoesNothing);
    }
    void SetUp() override {
        folder.InstallProgram("hostping");
        folder.InstallProgram("wolcmd");
        folder.InstallOnPath("localc", "true");
        lab::WriteInventory(folder.Dir(), lab::Hosts(), lab::Macs::Listed, MemberName);
    }
    void TearDown() override {
        for (const lab::Host& host : lab::Hosts()) lab::Wake(host);
    }
    void WriteAuth(const std::string& user, fs::perms perms) {
        testing_support::WriteBytes(
            folder / "shutdown.auth",
            "username = " + user + "\npassword = " + lab::kSambaPassword + "\n");
        fs::permissions(folder / "shutdown.auth", perms);
    }
    korvane::TForm1& Start() { return folder.StartStill(); }
    void Poll() {
        folder.App().TimerRedrawTimer();
        ASSERT_TRUE(
            WaitFor([this] { return !gui_testing::HasPendingRequests(folder.Form()); }, 10000));
    }
    int Glyph(int entry) const { return folder.Form().EntryButtons.at(entry)->GlyphWidth(); }
    // Waits for `checks` follow-up checks of this kind to have reported.
    bool Reported(const char* progress, int checks) {
        return WaitFor([&] { return ConsoleLines(folder.Form(), progress) == checks; }, 40000);
    }

    // Follow-ups after 15 s: a loaded machine may take several seconds to get
    // through net, smbd and its shutdown script.
    testing_support::ScopedEnv fast{korvane::kTimeScaleVariable, "20"};
    ProgramFolder folder;
    const fs::perms kPrivate = fs::perms::owner_read | fs::perms::owner_write;
};

TEST_F(KorvanePowerLab, OnWakesASleepingHostAndTheNextPollShowsItOn) {
    lab::ScopedSleep asleep(lab::HostAt(3));
    korvane::TForm1& form = Start();
    Poll();
    ASSERT_EQ(Glyph(3), 69);
    Press(form, 3, true);
    EXPECT_TRUE(WaitFor([] { return !lab::IsAsleep(lab::HostAt(3)); }, 5000));
    Poll();
    EXPECT_EQ(Glyph(3), 67);
    ASSERT_TRUE(Reported("followupReport ", 1));
    EXPECT_TRUE(folder.App().Vars().WolIncidents.empty());
}

TEST_F(KorvanePowerLab, OffThroughSambaPutsTheHostDownAndTheFollowUpRecordsNothing) {
    WriteAuth("root", kPrivate);
    const std::size_t calls = lab::ShutdownCalls(lab::HostAt(1)).size();
    korvane::TForm1& form = Start();
    Poll();
    ASSERT_EQ(Glyph(1), 67);
    Press(form, 1, false);
    EXPECT_TRUE(WaitFor([] { return lab::IsAsleep(lab::HostAt(1)); }, 10000));
    const TextList shutdowns = lab::ShutdownCalls(lab::HostAt(1));
    ASSERT_EQ(shutdowns.size(), calls + 1);
    EXPECT_TRUE(shutdowns.back().ends_with(" -f")) << shutdowns.back();  // forced, as asked
    Poll();
    EXPECT_EQ(Glyph(1), 69);
    ASSERT_TRUE(Reported("followDownReport ", 1));
    EXPECT_TRUE(folder.App().Vars().ShutdownIncidents.empty());
    EXPECT_TRUE(folder.Messages().isEmpty());
}

// The host refuses (WERR_ACCESS_DENIED) or says yes and does nothing: either
// way it still answers, and the follow-up says so, once.
TEST_F(KorvanePowerLab, HostThatStaysUpIsExactlyOneIncidentInTheListTheConsoleAndTheReport) {
    struct Case {
        int entry;
        std::string user;
        std::size_t scriptCalls;
    };
    for (const Case& c : {Case{1, "daemon", 0}, Case{2, "root", 1}}) {
        WriteAuth(c.user, kPrivate);
        const std::size_t before = lab::ShutdownCalls(lab::HostAt(c.entry)).size();
        korvane::TForm1& form = Start();
        Press(form, c.entry, false);
        ASSERT_TRUE(Reported("followDownReport ", 1)) << c.user;
        EXPECT_EQ(lab::ShutdownCalls(lab::HostAt(c.entry)).size(), before + c.scriptCalls);
        EXPECT_FALSE(lab::IsAsleep(lab::HostAt(c.entry)));
        const TextList& incidents = folder.App().Vars().ShutdownIncidents;
        ASSERT_EQ(incidents.size(), 1u) << c.user;
        EXPECT_TRUE(incidents[0].ends_with("\";\"" + MemberName(lab::HostAt(c.entry)) +
                                           "\";\"ne s'est pas arrêté\";\"raison inconnue\";"))
            << incidents[0];
        EXPECT_EQ(ConsoleLines(form, QString::fromStdString(incidents[0])), 1);
        form.findChild<QAction*>(QStringLiteral("Incidentsshutdown1"))->trigger();
        EXPECT_EQ(folder.Read("shutdown.followup"), incidents);
        folder.Stop();
    }
}

TEST_F(KorvanePowerLab, GroupOfThreeGetsThreeChecksAndThreeReports) {
    WriteAuth("root", kPrivate);
    folder.Write("localGM", {"bureau"});
    // "OFF" goes to each member with an address: h1 (no Samba: refused) and h2.
    folder.Write("liste.ip", {MemberName(lab::HostAt(0)) + " " + lab::HostAt(0).address,
                              MemberName(lab::HostAt(1)) + " " + lab::HostAt(1).address});
    folder.Write("bureau", {MemberName(lab::HostAt(0)), MemberName(lab::HostAt(1)),
                            MemberName(lab::HostAt(3))});
    korvane::TForm1& form = Start();
    Press(form, 0, false);
    ASSERT_TRUE(Reported("followDownReport ", 3));
    EXPECT_EQ(ConsoleLines(form, "Lancement de ping "), 3);
    TextList hosts;  // the third field of each incident line
    for (const auto& line : folder.App().Vars().ShutdownIncidents) {
        const std::size_t start = line.find("\";\"", line.find("\";\"") + 3) + 3;
        hosts.push_back(line.substr(start, line.find('"', start) - start));
    }
    std::sort(hosts.begin(), hosts.end());
    // h2 went down; h1 refused (no Samba) and h4 had no address to be asked at.
    EXPECT_EQ(hosts, (TextList{MemberName(lab::HostAt(3)),
                               MemberName(lab::HostAt(0))}));  // 198.18.0.14, pc-salon
}

TEST_F(KorvanePowerLab, MissingOrGroupReadableAuthenticationFileRunsNothingAndSaysWhy) {
    const std::size_t calls = lab::ShutdownCalls(lab::HostAt(1)).size();
    korvane::TForm1& form = Start();
    Press(form, 1, false);
    WriteAuth("root", kPrivate | fs::perms::group_read);
    Press(form, 1, false);
    ASSERT_EQ(folder.Messages().size(), 2);
    EXPECT_TRUE(folder.Messages()[0].contains(QStringLiteral("est absent")));
    EXPECT_TRUE(folder.Messages()[1].contains(QStringLiteral("accessible à d'autres comptes")));
    for (const QString& message : folder.Messages()) {
        EXPECT_TRUE(message.contains(QStringLiteral("username = ")) &&
                    message.contains("chmod 600"));
    }
    EXPECT_FALSE(fs::exists(folder / "shutdnpc-bureau.sh"));
    WaitFor([] { return false; }, 6000);  // longer than a follow-up would take
    EXPECT_EQ(ConsoleLines(form, "Lancement de ping "), 0);
    EXPECT_EQ(lab::ShutdownCalls(lab::HostAt(1)).size(), calls);
    EXPECT_FALSE(lab::IsAsleep(lab::HostAt(1)));
}

}  // namespace
