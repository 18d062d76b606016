// The daily plan and the protected computers outside their windows: the time
// rules, the plan file, the trigger under a clock that goes back, jumps or
// misses minutes, the map's hint, and the protected list's decisions.
#include <gtest/gtest.h>

#include "korvane/core/filecache.h"
#include "korvane/core/followup.h"
#include "korvane/core/protection.h"
#include "korvane/core/schedule.h"
#include "test_folder.h"

namespace {

using korvane::DueAction;
using korvane::EntrySchedule;
using korvane::LocalMinute;
using korvane::PlannedAction;
using toolkit::TextList;

constexpr PlannedAction kOn = PlannedAction::WakeUp;
constexpr PlannedAction kOff = PlannedAction::Shutdown;

TEST(DailyTime, ParsesHMmAndRefusesTheRest) {
    struct Case {
        std::string text;
        std::optional<int> minutes;
    };
    for (const Case& c : std::vector<Case>{
             {"0:00", 0},
             {"7:30", 450},
             {"07:30", 450},
             {" 23:59 ", 1439},
             {"0:01", 1},
             {"24:00", {}},
             {"7:60", {}},
             {"7:5", {}},
             {"730", {}},
             {"", {}},
             {"-1:30", {}},
             {"7:30:00", {}},
             {"7h30", {}},
             {"123:00", {}},
             {"+7:30", {}},
         }) {
        EXPECT_EQ(korvane::ParseDailyTime(c.text), c.minutes) << c.text;
    }
    EXPECT_EQ(korvane::FormatDailyTime(0), "0:00");
    EXPECT_EQ(korvane::FormatDailyTime(425), "7:05");
}

// One line per entry with an action; a damaged line loses only its entry;
// the file is replaced whole.
TEST(DailyPlan, FileKeepsOneLinePerPlannedEntry) {
    const korvane::Schedules parsed =
        korvane::ParseSchedules({"pc1;7:30;19:00", "pc10;0:00;22:15", "broken;7h;8:00",
                                 "PC1;1:00;2:00", "nosep", ";1:00;2:00"});
    EXPECT_EQ(parsed, (korvane::Schedules{{"pc1", 450, 1140}, {"pc10", 0, 1335}}));
    korvane::Schedules plan = parsed;
    korvane::SetSchedule(plan, {"Pc1", 0, 0});  // both 0:00: leaves the plan
    korvane::SetSchedule(plan, {"bureau", 480, 0});
    EXPECT_EQ(korvane::ScheduleLines(plan), (TextList{"pc10;0:00;22:15", "bureau;8:00;0:00"}));
    EXPECT_EQ(korvane::ScheduleOf(plan, "PC10"), (EntrySchedule{"pc10", 0, 1335}));
    EXPECT_EQ(korvane::ScheduleOf(plan, "pc1"), (EntrySchedule{"pc1", 0, 0}));

    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    EXPECT_TRUE(korvane::LoadSchedules(dir).empty());
    korvane::SaveSchedules(dir, plan);
    EXPECT_EQ(testing_support::ReadBytes(folder / "liste.planning"),
              "pc10;0:00;22:15\r\nbureau;8:00;0:00\r\n");
    EXPECT_EQ(korvane::LoadSchedules(dir), plan);
}

// Each step is one tick of the clock: the local day and time it reads, and
// what must run then.
TEST(DailyTrigger, RunsEachActionOnceADayWhateverTheClockDoes) {
    const korvane::Schedules plan{
        {"pc1", 7 * 60 + 30, 19 * 60}, {"pc10", 7 * 60 + 30, 0}, {"srv", 0, 2 * 60 + 30}};
    struct Step {
        int day;  // of December 2026
        int hour, minute;
        std::vector<DueAction> due;
        const char* what;
    };
    const std::vector<Step> steps{
        {8, 7, 31, {}, "start after 7:30: the morning's wake-ups are not caught up"},
        {8, 7, 32, {}, "nothing planned"},
        {8, 18, 59, {}, "the clock jumps an hour ahead of 19:00"},
        {8, 19, 0, {{"pc1", kOff}}, "its minute"},
        {8, 18, 0, {}, "the clock goes back an hour"},
        {8, 19, 0, {}, "19:00 again the same day: not twice"},
        {8, 23, 59, {}, "late evening"},
        {9, 0, 1, {}, "past midnight"},
        {9, 7, 29, {}, "the machine slept through the night: nothing late comes"},
        {9,
         7,
         31,
         {{"pc1", kOn}, {"pc10", kOn}},
         "a minute missed by one tick: two entries at 7:30"},
        {9, 7, 35, {}, "a minute later"},
        {9, 19, 3, {}, "19:00 missed by three minutes: not caught up"},
        {10, 1, 59, {}, "the night of the spring change"},
        {10, 3, 1, {}, "2:00 to 2:59 do not exist and 2:30 is past: not run"},
        {11, 2, 29, {}, "the autumn change, first pass"},
        {11, 2, 30, {{"srv", kOff}}, "2:30 the first time"},
        {11, 2, 59, {}, "first pass ends"},
        {11, 2, 0, {}, "the hour comes again"},
        {11, 2, 30, {}, "2:30 the second time: not twice"},
        {11, 7, 30, {{"pc1", kOn}, {"pc10", kOn}}, "a normal day"},
    };
    korvane::DailyTrigger trigger;
    for (const Step& step : steps) {
        const LocalMinute now =
            korvane::MakeLocalMinute(2026, 12, step.day, step.hour, step.minute);
        EXPECT_EQ(trigger.Tick(now, plan), step.due) << step.what;
    }
}

TEST(DailyTrigger, ManyTicksInOneMinuteRunItOnceAndTheDayAfterAgain) {
    const korvane::Schedules plan{{"pc1", 0, 12 * 60}};
    korvane::DailyTrigger trigger;
    int runs = 0;
    for (int day = 8; day <= 10; ++day) {
        for (int minute = 11 * 60 + 58; minute <= 12 * 60 + 2; ++minute) {
            for (int tick = 0; tick < 4; ++tick) {  // every 15 s
                runs += static_cast<int>(
                    trigger
                        .Tick(korvane::MakeLocalMinute(2026, 12, day, minute / 60, minute % 60),
                              plan)
                        .size());
            }
        }
    }
    EXPECT_EQ(runs, 3);
}

// A clock that read a later day, or a later year, at a tick and came back:
// what ran then counts as run today, and nothing waits for that date. Each
// step is one tick: the date the clock reads, and what must run.
TEST(DailyTrigger, AClockThatRanAheadBlocksNothingPastToday) {
    const korvane::Schedules plan{{"pc1", 7 * 60 + 30, 0}, {"pc2", 0, 19 * 60}};
    struct Step {
        int year, month, day, hour, minute;
        std::vector<DueAction> due;
        const char* what;
    };
    const std::vector<Step> steps{
        {2026, 12, 8, 7, 0, {}, "start"},
        {2026, 12, 9, 7, 30, {{"pc1", kOn}}, "the clock reads a day ahead at 7:30"},
        {2026, 12, 8, 7, 31, {}, "set right: the wake-up ran today"},
        {2027, 12, 8, 19, 0, {{"pc2", kOff}}, "a year ahead at 19:00"},
        {2026, 12, 8, 19, 0, {}, "set right: the shutdown ran today"},
        {2026, 12, 9, 7, 30, {{"pc1", kOn}}, "the next day"},
        {2026, 12, 9, 19, 0, {{"pc2", kOff}}, "and its evening"},
    };
    korvane::DailyTrigger trigger;
    for (const Step& step : steps) {
        const LocalMinute now =
            korvane::MakeLocalMinute(step.year, step.month, step.day, step.hour, step.minute);
        EXPECT_EQ(trigger.Tick(now, plan), step.due) << step.what;
    }
}

// planning.fait across starts: a line of a later day (written under a clock
// that ran ahead, or by hand) counts as today's run only, and the next write
// holds no later day.
TEST(DailyTrigger, RecordedRunsOfALaterDayCountAsTodaysOnly) {
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    const korvane::Schedules plan{
        {"pc1", 7 * 60 + 30, 0}, {"pc10", 7 * 60 + 30, 0}, {"srv", 7 * 60 + 30, 0}};
    toolkit::SaveLines(
        dir + korvane::kPlanRunsFile,
        {"9999-12-31;pc1;allumage", "2026-12-09;pc10;allumage", "2026-12-07;srv;allumage"});
    korvane::DailyTrigger trigger;
    const auto look = [&](int day, int hour, int minute) {
        return korvane::LookAtPlan(trigger, dir,
                                   korvane::MakeLocalMinute(2026, 12, day, hour, minute), plan);
    };
    EXPECT_TRUE(look(8, 7, 29).due.empty());
    EXPECT_EQ(look(8, 7, 30).due, (std::vector<DueAction>{{"srv", kOn}}));
    EXPECT_EQ(look(9, 7, 30).due,
              (std::vector<DueAction>{{"pc1", kOn}, {"pc10", kOn}, {"srv", kOn}}));
    EXPECT_EQ(toolkit::LoadLines(dir + korvane::kPlanRunsFile),
              (TextList{"2026-12-09;pc1;allumage", "2026-12-09;pc10;allumage",
                        "2026-12-09;srv;allumage"}));
}

// The energy report's days come back from the day numbers the plan counts.
TEST(DailyPlan, DayNumbersGiveBackTheirDates) {
    const korvane::CivilDate dates[] = {{1970, 1, 1}, {1969, 12, 31}, {2000, 2, 29},
                                        {2024, 3, 1}, {2026, 12, 8},  {2100, 2, 28}};
    for (const auto& date : dates) {
        const int day = korvane::MakeLocalMinute(date.year, date.month, date.day, 0, 0).day;
        EXPECT_EQ(korvane::CivilFromDays(day), date) << day;
    }
    EXPECT_EQ(korvane::FormatDayMonthYear({2026, 12, 8}), "08/12/2026");
}

TEST(DailyPlan, HintNamesTheNextAction) {
    struct Case {
        EntrySchedule plan;
        int now;
        std::string hint;
    };
    for (const Case& c : std::vector<Case>{
             {{"pc1", 450, 1140}, 600, "Prochaine action : arrêt à 19:00"},
             {{"pc1", 450, 1140}, 1140, "Prochaine action : allumage à 7:30 (demain)"},
             {{"pc1", 450, 1140}, 300, "Prochaine action : allumage à 7:30"},
             {{"pc1", 0, 1140}, 1200, "Prochaine action : arrêt à 19:00 (demain)"},
             {{"pc1", 0, 0}, 600, ""},
         }) {
        EXPECT_EQ(korvane::NextActionHint(c.plan, c.now), c.hint) << c.now;
    }
}

TEST(ProtectedComputers, AnEntryOrAnyMemberOfItsGroupIsProtected) {
    const TextList list{"SRV", "nas"};
    EXPECT_EQ(korvane::ProtectedName(list, "srv", {}), "SRV");
    EXPECT_EQ(korvane::ProtectedName(list, "bureau", {"pc1", "", "Nas"}), "nas");
    EXPECT_EQ(korvane::ProtectedName(list, "bureau", {"pc1", "pc10", "nas2"}), std::nullopt);
    EXPECT_EQ(korvane::ProtectedRefusal("bureau", "nas"),
              "Arrêt de « bureau » refusé : son membre « nas » est dans la liste des machines à "
              "ne jamais éteindre.");

    using korvane::ProtectChange;
    EXPECT_EQ(korvane::ClassifyProtect(list, " Srv "), ProtectChange::OfferRemoval);
    EXPECT_EQ(korvane::ClassifyProtect(list, "pc1"), ProtectChange::Add);
    for (const char* bad : {"", "pc1;rm", "../x", "-f", "a b"}) {
        EXPECT_EQ(korvane::ClassifyProtect(list, bad), ProtectChange::Invalid) << bad;
    }
    EXPECT_EQ(korvane::WithProtected(list, " pc1 "), (TextList{"SRV", "nas", "pc1"}));
    EXPECT_EQ(korvane::WithoutProtected(list, "srv"), (TextList{"nas"}));

    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    EXPECT_TRUE(korvane::LoadProtected(dir).empty());
    korvane::SaveProtected(dir, list);
    EXPECT_EQ(korvane::LoadProtected(dir), list);
}

// Lists as editors leave them: blanks or tabs around a name, Notepad's
// byte-order mark before the first line. The protected list, the plan and a
// group file read the same name from each, so "OFF" and the plan spare it.
TEST(HandWrittenLists, BlanksAndAByteOrderMarkAroundANameAreNotPartOfIt) {
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    for (const std::string written :
         {" pc1", "pc1\t", "\tpc1  ", "\xEF\xBB\xBFpc1", "\xEF\xBB\xBF pc1\t"}) {
        testing_support::WriteBytes(folder / korvane::kProtectedFile, written + "\r\nsrv\r\n");
        EXPECT_EQ(korvane::ProtectedName(korvane::LoadProtected(dir), "PC1", {}), "pc1") << written;
        testing_support::WriteBytes(folder / korvane::kScheduleFile, written + ";7:30;19:00\r\n");
        EXPECT_EQ(korvane::ScheduleOf(korvane::LoadSchedules(dir), "pc1"),
                  (EntrySchedule{"pc1", 450, 1140}))
            << written;
        testing_support::WriteBytes(folder / "bureau", written + "\r\npc10\r\n");
        const TextList members = korvane::GroupMembers(toolkit::LoadLines(folder / "bureau"));
        EXPECT_EQ(members, (TextList{"pc1", "pc10"})) << written;
        EXPECT_EQ(korvane::ProtectedName({written}, "bureau", members), "pc1") << written;
    }
}

// The plan read once per change of its file: unchanged, the value read last
// serves; replaced (the same size, the same second) or removed, it is read
// again; a read that failed is tried again.
TEST(FileCache, ReadsTheFileAgainOnlyOnceItChanged) {
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    korvane::FileCache<korvane::Schedules> cache;
    int reads = 0;
    const auto get = [&](bool fail = false) {
        return cache.Get(dir + korvane::kScheduleFile, [&] {
            ++reads;
            if (fail) throw toolkit::FileError("illisible");
            return korvane::LoadSchedules(dir);
        });
    };
    const korvane::Schedules pc1{{"pc1", 450, 0}}, pc2{{"pc2", 450, 0}};
    EXPECT_EQ(get(), korvane::Schedules{});
    korvane::SaveSchedules(dir, pc1);
    EXPECT_EQ(get(), pc1);
    EXPECT_EQ(get(), pc1);
    korvane::SaveSchedules(dir, pc2);
    EXPECT_EQ(get(), pc2);
    EXPECT_EQ(reads, 3);
    std::filesystem::remove(dir + korvane::kScheduleFile);
    EXPECT_THROW(get(true), toolkit::FileError);
    EXPECT_EQ(get(), korvane::Schedules{});
    EXPECT_EQ(get(), korvane::Schedules{});
    EXPECT_EQ(reads, 5);
}

}  // namespace
