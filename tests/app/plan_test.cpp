// Time in the app layer: the scheduler stepped by hand, the one clock that
// the plan, the journal of states and the energy report read, the plan run
// by one Korvane per folder, and the energy report.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <ctime>

#include "app_folder.h"
#include "korvane/core/history.h"

namespace {

using app_testing::AppFolder;
using toolkit::TextList;
using Time = std::chrono::system_clock::time_point;

Time LocalTime(int year, int month, int day, int hour, int minute, int second = 0) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

std::int64_t Seconds(Time time) {
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

// Callbacks run in the order of their due times, then of their creation,
// each seeing the time it fell due; one may cancel itself, another timer,
// or add a timer that falls due within the same advance.
TEST(SteppedScheduler, RunsWhatFallsDueInOrderAndHonoursCancelsMadeInATick) {
    korvane::SteppedScheduler scheduler;
    std::vector<std::string> ran;
    const auto note = [&](const std::string& what) {
        ran.push_back(what + "@" + std::to_string(scheduler.Now()));
    };
    scheduler.After(30, [&] { note("a"); });
    int ticks = 0;
    korvane::TimerId every = 0;
    every = scheduler.Every(10, [&] {
        note("b");
        if (++ticks == 3) scheduler.Cancel(every);  // its own, inside its tick
    });
    korvane::TimerId late = 0;
    scheduler.After(10, [&] {
        note("c");
        scheduler.Cancel(late);  // due at the same time, later made
        scheduler.After(0, [&] { note("d"); });
    });
    late = scheduler.After(10, [&] { note("never"); });
    scheduler.After(-5, [&] { note("e"); });
    EXPECT_EQ(scheduler.Count(), 5u);
    EXPECT_EQ(scheduler.NextDue(), 0);
    scheduler.Advance(25);
    EXPECT_EQ(ran, (std::vector<std::string>{"e@0", "b@10", "c@10", "d@10", "b@20"}));
    EXPECT_EQ(scheduler.Now(), 25);
    EXPECT_EQ(scheduler.NextDue(), 30);
    scheduler.Advance(100);
    EXPECT_EQ(ran.back(), "b@30");
    EXPECT_EQ(ran[ran.size() - 2], "a@30");
    EXPECT_EQ(scheduler.Count(), 0u);
    EXPECT_FALSE(scheduler.NextDue());
    scheduler.Cancel(every);  // finished: ignored
}

// One clock for all: steered to a May morning of 2031, the plan wakes its
// computer at 7:00 of that clock, the journal writes that clock's times and
// the energy report counts the hours up to it.
TEST(AppClock, PlanJournalAndEnergyReportFollowTheOneClock) {
    AppFolder folder;
    folder.InstallHostpingStandIn();
    folder.InstallScript("wolcmd", "true");
    folder.Write("localGM", {"pc1", "pc2"});
    folder.Write("liste.mac", {"PC1 02-00-00-00-00-05"});
    folder.Write("liste.planning", {"pc1;7:00;0:00"});
    const Time start = LocalTime(2031, 5, 20, 6, 59, 30);
    folder.Clock().Set(start);
    korvane::KorvaneApp& app = folder.Start();
    ASSERT_TRUE(folder.Settle());
    EXPECT_TRUE(
        folder.View().Map().entries[0].hint.starts_with("Prochaine action : allumage à 7:00"));
    folder.Scheduler().Advance(15000);  // the plan's tick at 6:59:30: nothing due
    EXPECT_EQ(folder.View().ConsoleLines("planification"), 0);

    const Time woken = start + std::chrono::minutes(1);
    folder.Clock().Set(woken);
    folder.Scheduler().Advance(15000);
    EXPECT_EQ(folder.View().ConsoleLines("planification : allumage de pc1"), 1);
    EXPECT_TRUE(folder.Exists("poweruppc1.sh"));
    folder.Write("answers", {"pc1=1"});
    folder.Poll();
    ASSERT_TRUE(folder.View().Up(0));

    folder.Clock().Set(woken + std::chrono::hours(1));
    const korvane::EnergyReport report = app.Energy({"pc1", "pc2"}, 2);
    EXPECT_EQ(report.dayLabels, (TextList{"19/05/2031", "20/05/2031"}));
    ASSERT_EQ(report.rows.size(), 2u);
    EXPECT_EQ(report.rows[0].hours, (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(report.rows[1].TotalHours(), 0.0);
    folder.Exit();
    using korvane::HistoryLine;
    EXPECT_EQ(
        folder.Read("historique.etats"),
        (TextList{
            HistoryLine({Seconds(start), "*", '?'}), HistoryLine({Seconds(start), "pc1", '0'}),
            HistoryLine({Seconds(start), "pc2", '0'}), HistoryLine({Seconds(woken), "pc1", '1'}),
            HistoryLine({Seconds(woken + std::chrono::hours(1)), "*", '?'})}));
}

// The history of today: pc1 on for the last two hours, "bureau" off. The
// report counts them, takes a new draw, refuses a wrong one and exports.
TEST(AppEnergy, ReportCountsTheHoursTakesADrawAndExports) {
    AppFolder folder;
    folder.Write("localGM", {"pc1", "bureau"});
    folder.InstallOnPath("localc", "echo \"$*\" >> \"" + (folder / "opened") + "\"");
    const Time now = LocalTime(2031, 5, 20, 12, 0);
    folder.Clock().Set(now);
    korvane::KorvaneApp& app = folder.Start();
    const std::int64_t start = Seconds(now) - 2 * 3600;
    folder.Write("historique.etats", {korvane::HistoryLine({start, "*", '?'}),
                                      korvane::HistoryLine({start, "pc1", '1'}),
                                      korvane::HistoryLine({start, "bureau", '0'})});
    korvane::EnergyReport report = app.Energy(app.Vars().ManagedList, 7);
    ASSERT_EQ(report.rows.size(), 2u);
    EXPECT_EQ(report.dayLabels.size(), 7u);
    EXPECT_EQ(report.dayLabels.front(), "14/05/2031");
    EXPECT_EQ(report.rows[0].TotalHours(), 2.0);
    EXPECT_EQ(report.rows[0].watts, 60);
    EXPECT_EQ(report.rows[1].TotalHours(), 0.0);

    EXPECT_TRUE(app.SetPowerDraw("pc1", "120"));
    EXPECT_EQ(folder.Read("puissances.ini"), TextList{"pc1=120"});
    EXPECT_FALSE(app.SetPowerDraw("bureau", "beaucoup"));
    EXPECT_EQ(folder.View().warnings,
              std::vector<std::string>{"Puissance refusée : « beaucoup ». Donnez un nombre "
                                       "entier de watts, de 1 à 5000."});
    report = app.Energy(app.Vars().ManagedList, 30);
    EXPECT_EQ(report.dayLabels.size(), 30u);
    EXPECT_EQ(report.rows[0].watts, 120);
    EXPECT_DOUBLE_EQ(report.rows[0].Kwh(), 0.24);
    ASSERT_TRUE(app.ExportEnergy(report));
    const TextList csv = folder.Read("consommation.csv");
    ASSERT_EQ(csv.size(), 3u);
    EXPECT_TRUE(csv[1].starts_with("\"pc1\";120;")) << csv[1];
    EXPECT_TRUE(folder.RunUntil(
        [&] { return folder.Lines("opened") == TextList{folder / "consommation.csv"}; }));
}

// Another holder of the plan's lock (a "--planificateur" run) keeps this
// Korvane from running the plan; once it has gone, this one runs it.
TEST(AppPlan, OneKorvanePerFolderRunsThePlan) {
    AppFolder folder;
    folder.Write("localGM", {"pc1"});
    folder.Write("liste.ip", {"pc1 10.0.0.5"});
    folder.Write("liste.planning", {"pc1;0:00;22:00"});
    testing_support::WriteBytes(folder / "shutdown.auth", "username = root\npassword = x\n");
    std::filesystem::permissions(folder / "shutdown.auth", std::filesystem::perms::owner_read);
    folder.InstallOnPath("net", "true");
    // A lock of flock(2) belongs to an open file: one taken on a file opened
    // here keeps the app's own open of the same file out, as another
    // process's would.
    const int holder = open((folder / "planning.lck").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    folder.Clock().Set(app_testing::Today(21, 59));
    korvane::KorvaneApp& app = folder.Start();
    folder.Clock().Forward(std::chrono::minutes(1));
    app.TimerPlanTimer();
    app.TimerPlanTimer();
    EXPECT_EQ(folder.View().ConsoleLines("planification : assurée par un autre Korvane"), 1);
    EXPECT_FALSE(folder.Exists("shutdnpc1.sh"));
    close(holder);
    app.TimerPlanTimer();
    EXPECT_EQ(folder.View().ConsoleLines("planification : arrêt de pc1"), 1);
    EXPECT_TRUE(folder.Exists("shutdnpc1.sh"));
}

}  // namespace
