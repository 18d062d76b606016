// The daily plan, the protected computers and the shutdown's delay and
// comment end to end in the lab, through the real window with its timers
// shortened and its plan clock steered: the real wolcmd wakes a sleeping
// host, Samba's real net rpc shutdown reaches a host's real smbd, whose
// shutdown script records the message it is given.
#include <gtest/gtest.h>

#include <QPushButton>
#include <chrono>
#include <ctime>
#include <filesystem>

#include "korvane/core/KrvVar.h"
#include "korvane/core/timescale.h"
#include "lab_support.h"
#include "program_folder.h"
#include "reseau.h"
#include "umachine.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;
using gui_testing::ConsoleLines;
using gui_testing::ProgramFolder;
using gui_testing::WaitFor;
using toolkit::TextList;

std::string EntryName(int entry) {
    return lab::EntryName(lab::HostAt(entry));
}

// Today at this local time.
Clock::time_point Today(int hour, int minute, int second) {
    const std::time_t now = Clock::to_time_t(Clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return Clock::from_time_t(std::mktime(&local));
}

// What smbd hands its shutdown script of a message: ASCII letters and
// digits, every other byte "_".
std::string AsSambaPassesIt(const std::string& message) {
    std::string passed = message;
    for (char& c : passed) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum) c = '_';
    }
    return passed;
}

class KorvanePlanningLab : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        lab::StartSamba(lab::HostAt(1), lab::ShutdownScript::Sleeps);
        lab::StartSamba(lab::HostAt(2), lab::ShutdownScript::DoesNothing);
    }
    void SetUp() override {
        folder.InstallProgram("hostping");
        folder.InstallProgram("wolcmd");
        lab::WriteInventory(folder.Dir(), lab::Hosts(), lab::Macs::Listed, lab::MemberName);
        testing_support::WriteBytes(folder / "shutdown.auth",
                                    "username = root\npassword = " + lab::kSambaPassword + "\n");
        fs::permissions(folder / "shutdown.auth", fs::perms::owner_read | fs::perms::owner_write);
    }
    void TearDown() override {
        folder.Stop();
        for (const lab::Host& host : lab::Hosts()) lab::Wake(host);
    }
    korvane::TForm1& Start(Clock::time_point at) {
        folder.Clock().Set(at);
        return folder.StartStill();
    }
    void Poll() {
        folder.App().TimerRedrawTimer();
        ASSERT_TRUE(
            WaitFor([this] { return !gui_testing::HasPendingRequests(folder.Form()); }, 10000));
    }
    int Glyph(int entry) const { return folder.Form().EntryButtons.at(entry)->GlyphWidth(); }
    QString Hint(int entry) const { return folder.Form().EntryButtons.at(entry)->toolTip(); }

    testing_support::ScopedEnv fast{korvane::kTimeScaleVariable,
                                    "60"};  // the plan ticks 4 times a second
    ProgramFolder folder;
};

TEST_F(KorvanePlanningLab, ScheduledShutdownTurnsASambaHostOffAndTheNextPollShowsItOff) {
    folder.Write("liste.planning", {EntryName(1) + ";0:00;22:00"});
    const std::size_t calls = lab::ShutdownCalls(lab::HostAt(1)).size();
    korvane::TForm1& form = Start(Today(21, 58, 30));
    Poll();
    ASSERT_EQ(Glyph(1), 67);
    EXPECT_EQ(Hint(1), QStringLiteral("Prochaine action : arrêt à 22:00"));
    WaitFor([] { return false; }, 1000);  // ticks before the minute run nothing
    EXPECT_EQ(lab::ShutdownCalls(lab::HostAt(1)).size(), calls);

    folder.Clock().Set(Today(22, 0, 5));
    ASSERT_TRUE(WaitFor([] { return lab::IsAsleep(lab::HostAt(1)); }, 10000));
    const TextList shutdowns = lab::ShutdownCalls(lab::HostAt(1));
    ASSERT_EQ(shutdowns.size(), calls + 1);
    // No comment set: net's own message, as before the preferences had one.
    EXPECT_EQ(shutdowns.back(), "This_machine_will_be_shutdown_shortly -f");
    EXPECT_EQ(
        ConsoleLines(form, QString::fromStdString("planification : arrêt de " + EntryName(1))), 1);
    Poll();
    EXPECT_EQ(Glyph(1), 69);
    EXPECT_EQ(Hint(1), QStringLiteral("Prochaine action : arrêt à 22:00 (demain)"));
    WaitFor([] { return false; }, 1000);  // later ticks of the same minute: once only
    EXPECT_EQ(lab::ShutdownCalls(lab::HostAt(1)).size(), calls + 1);
    EXPECT_TRUE(folder.Messages().isEmpty());
}

TEST_F(KorvanePlanningLab, ScheduledWakeUpWakesASleepingHost) {
    lab::ScopedSleep asleep(lab::HostAt(3));
    folder.Write("liste.planning", {EntryName(3) + ";7:00;0:00"});
    korvane::TForm1& form = Start(Today(6, 59, 30));
    Poll();
    ASSERT_EQ(Glyph(3), 69);
    folder.Clock().Set(Today(7, 0, 1));
    EXPECT_TRUE(WaitFor([] { return !lab::IsAsleep(lab::HostAt(3)); }, 5000));
    EXPECT_EQ(
        ConsoleLines(form, QString::fromStdString("planification : allumage de " + EntryName(3))),
        1);
    Poll();
    EXPECT_EQ(Glyph(3), 67);
}

TEST_F(KorvanePlanningLab, ProtectedHostIsNeverShutDownByHandOrByThePlan) {
    folder.Write("liste.protegees", {EntryName(1)});
    folder.Write("liste.planning", {EntryName(1) + ";0:00;22:00"});
    const std::size_t calls = lab::ShutdownCalls(lab::HostAt(1)).size();
    korvane::TForm1& form = Start(Today(21, 59, 0));
    gui_testing::ClickEntry(form, 1, [](korvane::Tmachines* d) { d->btn_off->click(); });
    folder.Clock().Set(Today(22, 0, 0));
    const QString refusal = QString::fromStdString(
        "Arrêt de « " + EntryName(1) +
        " » refusé : cet ordinateur est dans la liste des machines à ne jamais éteindre.");
    ASSERT_TRUE(WaitFor([&] { return ConsoleLines(form, refusal) == 2; }, 5000));
    EXPECT_EQ(folder.Messages(), (QStringList{refusal, refusal}));
    WaitFor([] { return false; }, 3000);  // longer than a shutdown takes to arrive
    EXPECT_EQ(lab::ShutdownCalls(lab::HostAt(1)).size(), calls);
    EXPECT_FALSE(lab::IsAsleep(lab::HostAt(1)));
    EXPECT_FALSE(fs::exists(folder / ("shutdn" + EntryName(1) + ".sh")));
}

// The preferences' delay and a comment full of what a shell would act on
// reach the real net and smbd, which gets the message whole; nothing of the
// comment runs.
TEST_F(KorvanePlanningLab, OffSendsTheDelayAndTheCommentToTheRealNetAndNeverRunsIt) {
    const std::string canary = folder / "canary";
    const std::string comment = "Fin \"de\" journee 'x' ; touch " + canary + " $(touch " + canary +
                                ") `touch " + canary + "` & echo";
    folder.Write("arret.ini", {"delai=45", "commentaire=" + comment});
    const std::size_t calls = lab::ShutdownCalls(lab::HostAt(2)).size();
    korvane::TForm1& form = Start(Today(12, 0, 0));
    gui_testing::ClickEntry(form, 2, [](korvane::Tmachines* d) { d->btn_off->click(); });
    ASSERT_TRUE(
        WaitFor([&] { return lab::ShutdownCalls(lab::HostAt(2)).size() == calls + 1; }, 10000));
    // smbd runs "shutdown.sh %z %r %f" through the shell; the empty %r goes.
    // (Its %t, the delay, is taken by smbd's own "%t", the time of day, before
    // the shutdown's substitutions: the delay is seen in the command line.)
    EXPECT_EQ(lab::ShutdownCalls(lab::HostAt(2)).back(), AsSambaPassesIt(comment) + " -f");
    EXPECT_EQ(ConsoleLines(
                  form, QString::fromStdString("commande lancée : net rpc shutdown -f -t 45 -C ")),
              1);
    EXPECT_FALSE(fs::exists(canary));
    EXPECT_TRUE(folder.Messages().isEmpty());
}

}  // namespace
