// The state history and the energy report outside their windows: a writer
// killed at any moment leaves a journal that reads whole, the journal keeps
// about 90 days, and the hours on and the energy of a known sequence of polls.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "korvane/core/energy.h"
#include "korvane/core/history.h"
#include "test_folder.h"

namespace {

using korvane::StateChange;
using toolkit::TextList;

constexpr std::int64_t kDay = 24 * 3600;
constexpr std::int64_t kHour = 3600;
// 2026-12-07T00:00:00Z
constexpr std::int64_t kMonday = 1796601600;

TEST(StateHistory, LinesReadBackAndDamagedOnesAreSkipped) {
    const StateChange change{kMonday + 7 * kHour + 30 * 60 + 12, "pc1", '1'};
    EXPECT_EQ(korvane::HistoryLine(change), "2026-12-07T07:30:12Z;pc1;1");
    EXPECT_EQ(korvane::ParseHistoryLine("2026-12-07T07:30:12Z;pc1;1"), change);
    for (const char* bad :
         {"2026-12-07T07:30:12Z;pc1;", "2026-12-07T07:30:12Z;pc1;2", "2026-12-07T07:30;pc1;1",
          "2026-13-07T07:30:12Z;pc1;1", "2026-12-07T07:30:12Z;;1", "2026-12-07T07:3", ""}) {
        EXPECT_FALSE(korvane::ParseHistoryLine(bad)) << bad;
    }
}

// A writer killed with SIGKILL in the middle of its appends: every line
// written reads back, each entry's states still alternate (nothing was lost
// but what came after the kill), and the next writer goes on after them.
// A line cut short (a power loss) costs that line only.
TEST(StateHistory, KillNineLosesAtMostTheLastChangeAndNeverCorrupts) {
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        korvane::HistoryWriter writer(dir);
        for (std::int64_t poll = 0;; ++poll) {
            const bool up = poll % 2 == 0;
            writer.Observe(kMonday + poll * 10,
                           {{"pc1", up}, {"pc10", !up}, {"une-machine-au-nom-long", up}});
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    const std::string bytes = testing_support::ReadBytes(folder / korvane::kHistoryFile);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.back(), '\n');
    const TextList lines = toolkit::SplitLines(bytes);
    std::vector<StateChange> history = korvane::LoadHistory(dir);
    ASSERT_EQ(history.size(), lines.size());
    for (const std::string name : {"pc1", "pc10", "une-machine-au-nom-long"}) {
        char last = 0;
        for (const StateChange& change : history) {
            if (change.name != name) continue;
            EXPECT_NE(change.state, last) << name << " at " << change.time;
            last = change.state;
        }
    }

    // The power-loss case: the last line cut in two.
    const std::string cut = bytes.substr(0, bytes.size() - 5);
    testing_support::WriteBytes(folder / korvane::kHistoryFile, cut);
    korvane::HistoryWriter next(dir);
    next.MarkUnknown(kMonday + kDay);
    const std::vector<StateChange> after = korvane::LoadHistory(dir);
    ASSERT_EQ(after.size(), history.size());  // one line lost, one added
    EXPECT_EQ(after.back(), (StateChange{kMonday + kDay, "*", '?'}));
    EXPECT_TRUE(std::equal(after.begin(), after.end() - 2, history.begin()));
}

// Written every day for 200 days, the journal never holds more than 90 days
// and never less than 45, in two parts; the older one is dropped whole.
TEST(StateHistory, KeepsAboutNinetyDays) {
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    korvane::HistoryWriter writer(dir);
    for (int day = 0; day < 200; ++day) {
        const std::int64_t now = kMonday + day * kDay;
        writer.Observe(now, {{"pc1", day % 2 == 0}});
        const std::vector<StateChange> history = korvane::LoadHistory(dir);
        ASSERT_FALSE(history.empty());
        EXPECT_EQ(history.back().time, now);
        EXPECT_LE(now - history.front().time, 90 * kDay) << day;
        EXPECT_GE(now - history.front().time, std::min<std::int64_t>(day, 45) * kDay) << day;
    }
    // A writer started afresh knows where its part began.
    korvane::HistoryWriter restarted(dir);
    restarted.MarkUnknown(kMonday + 200 * kDay);
    EXPECT_LE(kMonday + 200 * kDay - korvane::LoadHistory(dir).front().time, 90 * kDay);
}

// A part larger than the reader takes (left by a version without a size
// limit): its start alone tells its age, the next line turns it over
// however young it is, and the report reads its newest lines.
TEST(StateHistory, APartTooLargeIsTurnedOverAndItsNewestLinesRead) {
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    const std::int64_t now = kMonday + kDay;
    std::string part = korvane::HistoryLine({kMonday, "pc1", '1'}) + "\n";
    const std::string filler = "#" + std::string(1022, '-') + "\n";  // skipped by the reader
    while (part.size() <= korvane::kHistoryReadBytes) part += filler;
    part += korvane::HistoryLine({kMonday + kHour, "pc1", '0'}) + "\n";
    testing_support::WriteBytes(folder / korvane::kHistoryFile, part);

    korvane::HistoryWriter writer(dir);
    writer.Observe(now, {{"pc1", true}});
    EXPECT_EQ(std::filesystem::file_size(folder / korvane::kOlderHistoryFile), part.size());
    EXPECT_EQ(korvane::LoadHistory(dir),
              (std::vector<StateChange>{{kMonday + kHour, "pc1", '0'}, {now, "pc1", '1'}}));
}

// A known sequence of polls every ten minutes: pc1 on from 8:00 to 18:00 on
// Monday, off at night, on at 22:00 until Korvane closes at 23:30, on again
// from Tuesday 9:00 (Korvane restarted) and still on at Tuesday 12:00; pc10
// always off; pc2 on across midnight, from Monday 23:00 to Tuesday 1:00.
TEST(EnergyReport, HoursOnAndEnergyOfAKnownSequenceOfPolls) {
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    korvane::HistoryWriter writer(dir);
    const auto pc1On = [](std::int64_t t) {
        const std::int64_t h = (t - kMonday) / kHour;
        return (h >= 8 && h < 18) || (h >= 22 && h < 24) || h >= 33;
    };
    const auto pc2On = [](std::int64_t t) {
        const std::int64_t h = (t - kMonday) / kHour;
        return h >= 23 && h < 25;
    };
    const auto pollFrom = [&](std::int64_t from, std::int64_t to) {
        writer.MarkUnknown(from);
        for (std::int64_t t = from; t < to; t += 600) {
            writer.Observe(t, {{"pc1", pc1On(t)}, {"pc10", false}, {"pc2", pc2On(t)}});
        }
    };
    pollFrom(kMonday, kMonday + 23 * kHour + 30 * 60);
    writer.MarkUnknown(kMonday + 23 * kHour + 30 * 60);                    // Korvane closes
    pollFrom(kMonday + 24 * kHour + 30 * 60, kMonday + 36 * kHour + 600);  // restarts at 0:30

    const std::vector<StateChange> history = korvane::LoadHistory(dir);
    const std::vector<std::int64_t> bounds{kMonday - kDay, kMonday, kMonday + kDay,
                                           kMonday + 2 * kDay};
    const std::int64_t now = kMonday + 36 * kHour;
    EXPECT_EQ(korvane::HistoryNames(history), (TextList{"pc1", "pc10", "pc2"}));
    EXPECT_EQ(korvane::HoursOn(history, "pc1", bounds, now), (std::vector<double>{0, 11.5, 3}));
    EXPECT_EQ(korvane::HoursOn(history, "pc10", bounds, now), (std::vector<double>{0, 0, 0}));
    // Unknown from 23:30 to 0:30, when the restarted poll sees it on again.
    EXPECT_EQ(korvane::HoursOn(history, "pc2", bounds, now), (std::vector<double>{0, 0.5, 0.5}));

    const TextList draws = korvane::WithPowerDraw({}, "pc1", 120);
    EXPECT_EQ(korvane::WithPowerDraw(draws, "PC1", korvane::kDefaultPowerDraw), TextList{});
    const std::vector<korvane::EnergyRow> rows =
        korvane::EnergyRows(history, {"pc1", "pc2"}, draws, bounds, now);
    EXPECT_EQ(korvane::EnergyCsvLines(rows, {"06/12/2026", "07/12/2026", "08/12/2026"}),
              (TextList{"\"Ordinateur\";\"Puissance (W)\";\"06/12/2026\";\"07/12/2026\";"
                        "\"08/12/2026\";\"Total (h)\";\"Énergie (kWh)\"",
                        "\"pc1\";120;0,00;11,50;3,00;14,50;1,740",
                        "\"pc2\";60;0,00;0,50;0,50;1,00;0,060"}));
    int watts = 0;
    for (const char* bad : {"0", "5001", "60W", "", "-5", "1e3"}) {
        EXPECT_FALSE(korvane::ParsePowerDraw(bad, watts)) << bad;
    }
    EXPECT_TRUE(korvane::ParsePowerDraw(" 250 ", watts));
    EXPECT_EQ(watts, 250);
}

}  // namespace
