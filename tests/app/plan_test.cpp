// Time in the app layer: the scheduler stepped by hand, the one clock that
// the plan, the journal of states and the energy report read, and the plan
// run by one Korvane per folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "app_folder.h"
#include "korvane/core/history.h"

namespace {

using app_testing::AppFolder;
using app_testing::LocalTime;
using toolkit::TextList;
using Time = std::chrono::system_clock::time_point;

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
// the energy report counts the hours up to it, with the draws the user
// gives; it is exported for the spreadsheet.
TEST(AppClock, PlanJournalAndEnergyReportFollowTheOneClock) {
    AppFolder folder;
    folder.InstallHostpingStandIn();
    folder.InstallScript("wolcmd", "true");
    folder.InstallOnPath("localc", "echo \"$*\" >> \"" + (folder / "opened") + "\"");
    folder.Write("localGM", {"pc1", "pc2"});
    folder.Write("liste.mac", {"PC1 02-00-00-00-00-05"});
    folder.Write("liste.planning", {"pc1;7:00;0:00"});
    const Time start = LocalTime(2031, 5, 20, 6, 59, 30);
    folder.Clock().Set(start);
    korvane::KorvaneApp& app = folder.Start();
    ASSERT_TRUE(folder.Settle());
    EXPECT_TRUE(folder.View().Cell(0).hint.starts_with("Prochaine action : allumage à 7:00"));
    folder.Scheduler().Advance(15000);  // the plan's tick at 6:59:30: nothing due
    EXPECT_EQ(folder.View().ConsoleLines("planification"), 0);
    const Time woken = start + std::chrono::minutes(1);
    folder.Clock().Set(woken);
    folder.Scheduler().Advance(15000);
    EXPECT_EQ(folder.View().ConsoleLines("planification : allumage de pc1"), 1);
    EXPECT_TRUE(folder.Exists("poweruppc1.sh"));
    folder.Write("answers", {"pc1=1"});
    folder.Poll();
    ASSERT_TRUE(folder.View().Cell(0).up);

    const Time now = woken + std::chrono::hours(1);
    folder.Clock().Set(now);
    korvane::EnergyReport report = app.Energy({"pc1", "pc2"}, 2);
    EXPECT_EQ(report.dayLabels, (TextList{"19/05/2031", "20/05/2031"}));
    ASSERT_EQ(report.rows.size(), 2u);
    EXPECT_EQ(report.rows[0].hours, (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(report.rows[0].watts, 60);
    EXPECT_EQ(report.rows[1].TotalHours(), 0.0);
    EXPECT_EQ(report.TotalText(), "Énergie estimée sur la période : 0,06 kWh");
    EXPECT_EQ(report.HoursCeiling(), 1);  // at least one hour high
    EXPECT_TRUE(app.SetPowerDraw("pc1", "120"));
    EXPECT_EQ(folder.Read("puissances.ini"), TextList{"pc1=120"});
    EXPECT_FALSE(app.SetPowerDraw("pc2", "beaucoup"));
    EXPECT_EQ(folder.View().warnings,
              std::vector<std::string>{"Puissance refusée : « beaucoup ». Donnez un nombre "
                                       "entier de watts, de 1 à 5000."});
    report = app.Energy({"pc1", "pc2"}, 30);
    EXPECT_EQ(report.dayLabels.front(), "21/04/2031");
    EXPECT_DOUBLE_EQ(report.rows[0].Kwh(), 0.12);
    ASSERT_TRUE(app.ExportEnergy(report));
    const TextList csv = folder.Read("consommation.csv");
    ASSERT_EQ(csv.size(), 3u);
    EXPECT_TRUE(csv[1].starts_with("\"pc1\";120;")) << csv[1];
    EXPECT_TRUE(folder.RunUntil(
        [&] { return folder.Lines("opened") == TextList{folder / "consommation.csv"}; }));
    folder.Exit();
    using korvane::HistoryLine;
    EXPECT_EQ(folder.Read("historique.etats"), (TextList{HistoryLine({Seconds(start), "*", '?'}),
                                                         HistoryLine({Seconds(start), "pc1", '0'}),
                                                         HistoryLine({Seconds(start), "pc2", '0'}),
                                                         HistoryLine({Seconds(woken), "pc1", '1'}),
                                                         HistoryLine({Seconds(now), "*", '?'})}));
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
    folder.Clock().Set(LocalTime(2031, 5, 20, 21, 59));
    korvane::KorvaneApp& app = folder.Start();
    folder.Clock().Set(LocalTime(2031, 5, 20, 22, 0));
    app.TimerPlanTimer();
    app.TimerPlanTimer();
    EXPECT_EQ(folder.View().ConsoleLines("planification : assurée par un autre Korvane"), 1);
    EXPECT_FALSE(folder.Exists("shutdnpc1.sh"));
    close(holder);
    app.TimerPlanTimer();
    EXPECT_EQ(folder.View().ConsoleLines("planification : arrêt de pc1"), 1);
    EXPECT_TRUE(folder.Exists("shutdnpc1.sh"));
}

// A lock file that nobody can take (here a folder): the window does not
// take it for another Korvane's lead. It tells what stops the plan and the
// journal, once, and takes the lead as soon as the file is put right.
TEST(AppPlan, ALockFileThatCannotBeTakenIsToldOnceUntilItIsPutRight) {
    AppFolder folder;
    folder.Write("localGM", {"pc1"});
    folder.Write("liste.ip", {"pc1 10.0.0.5"});
    folder.Write("liste.planning", {"pc1;0:00;22:00"});
    testing_support::WriteBytes(folder / "shutdown.auth", "username = root\npassword = x\n");
    std::filesystem::permissions(folder / "shutdown.auth", std::filesystem::perms::owner_read);
    folder.InstallOnPath("net", "true");
    std::filesystem::create_directory(folder / "planning.lck");
    folder.Clock().Set(LocalTime(2031, 5, 20, 21, 59));
    korvane::KorvaneApp& app = folder.Start();
    folder.Clock().Set(LocalTime(2031, 5, 20, 22, 0));
    app.TimerPlanTimer();
    app.TimerPlanTimer();
    const std::string told = "Le verrou « " + (folder / "planning.lck") +
                             " » ne peut pas être pris : c'est un dossier, pas un fichier "
                             "ordinaire.";
    const auto tellings = [&](const std::vector<std::string>& lines) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return line.starts_with(told); });
    };
    EXPECT_EQ(tellings(folder.View().statuses), 1);
    EXPECT_EQ(tellings(folder.View().console), 1);
    EXPECT_TRUE(folder.View().status.starts_with(told)) << folder.View().status;
    EXPECT_EQ(folder.View().ConsoleLines("planification : assurée par un autre Korvane"), 0);
    EXPECT_FALSE(folder.Exists("shutdnpc1.sh"));
    EXPECT_FALSE(folder.Exists("historique.etats"));

    std::filesystem::remove(folder / "planning.lck");
    folder.Clock().Set(LocalTime(2031, 5, 20, 22, 1));
    app.TimerPlanTimer();
    EXPECT_EQ(folder.View().status, "");
    EXPECT_EQ(folder.View().ConsoleLines("planification : arrêt de pc1"), 1);
    EXPECT_TRUE(folder.Exists("shutdnpc1.sh"));
}

}  // namespace
