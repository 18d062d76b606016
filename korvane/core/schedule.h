// The daily power plan: each entry may be woken and shut down at a time of
// day. The plan lives in a file of the program folder, one line per entry
// ("name;H:MM;H:MM", wake-up then shutdown, "0:00" for none); the trigger
// tells, at each tick of Korvane's clock, which actions are due.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "utils.h"

namespace korvane {

inline constexpr const char* kScheduleFile = "liste.planning";
inline constexpr int kMinutesPerDay = 24 * 60;
// An action still runs at a tick that comes this many minutes after its
// minute at most (a busy or stepped clock, the hour skipped in spring); an
// older one was missed and is not caught up.
inline constexpr int kLateMinutes = 2;

enum class PlannedAction { WakeUp, Shutdown };

// Minutes after midnight; 0 ("0:00") means no action.
struct EntrySchedule {
    std::string name;
    int wakeUp = 0;
    int shutdown = 0;
    bool operator==(const EntrySchedule&) const = default;
};
using Schedules = std::vector<EntrySchedule>;

// "H:MM" or "HH:MM", hours 0 to 23, minutes 00 to 59, blanks around allowed.
std::optional<int> ParseDailyTime(std::string_view text);
std::string FormatDailyTime(int minutes);  // "7:05", "0:00"
std::string DailyTimeRefusal(std::string_view field, std::string_view text);

// Lines that do not parse are skipped: a damaged line loses its entry's
// plan, never the others'.
Schedules ParseSchedules(const toolkit::TextList& lines);
toolkit::TextList ScheduleLines(const Schedules& schedules);
// The plan of `name` (case ignored); an entry without one has 0:00 and 0:00.
EntrySchedule ScheduleOf(const Schedules& schedules, std::string_view name);
// Sets the plan of `name`; an entry with neither action leaves the list.
void SetSchedule(Schedules& schedules, const EntrySchedule& schedule);

// Throws FileError when the file exists and cannot be read.
Schedules LoadSchedules(const std::string& programDir);
// Replaces the file atomically. Throws FileError.
void SaveSchedules(const std::string& programDir, const Schedules& schedules);

// A moment of the local clock, to the minute.
struct LocalMinute {
    int day = 0;     // days since 1970-01-01 of the local calendar
    int minute = 0;  // 0 to 1439
    long Linear() const { return static_cast<long>(day) * kMinutesPerDay + minute; }
};
LocalMinute MakeLocalMinute(int year, int month, int day, int hour, int minute);

// The date of a day counted from 1970-01-01, and its "dd/mm/yyyy" text.
struct CivilDate {
    int year = 1970;
    int month = 1;
    int day = 1;
    bool operator==(const CivilDate&) const = default;
};
CivilDate CivilFromDays(int days);
std::string FormatDayMonthYear(const CivilDate& date);
LocalMinute LocalMinuteOf(std::chrono::system_clock::time_point when);

struct DueAction {
    std::string name;
    PlannedAction action;
    bool operator==(const DueAction&) const = default;
};

// Which actions are due at a tick. The first tick only sets the start: what
// was planned before Korvane ran is not caught up. Then an action is due when
// its minute lies after the previous tick and at most kLateMinutes before
// this one, by the local clock, and it has not run yet on this local day:
// a clock set back, or the hour that comes twice in autumn, never runs it
// twice. A clock that read a later day, or a later hour, and came back
// blocks nothing past today: a run it dated ahead counts as today's, and
// the looks go on from the time the clock reads now. Due actions come in
// plan order, each entry's wake-up first.
class DailyTrigger {
  public:
    std::vector<DueAction> Tick(LocalMinute now, const Schedules& schedules);
    // The runs of the local day `today` and of the day before, a line each:
    // "2026-12-08;pc1;allumage" (or "arrêt"); none of a later day.
    toolkit::TextList RunLines(int today) const;
    // Counts the runs of such lines as its own, a run dated after `today`
    // as today's; lines that do not parse are skipped.
    void AdoptRuns(const toolkit::TextList& lines, int today);

  private:
    bool Due(const std::string& name, PlannedAction action, int minute, LocalMinute now);

    std::optional<long> previous_;
    std::map<std::pair<std::string, PlannedAction>, int> ranOn_;  // day of the last run
};

// The day's runs of the plan, kept in the program folder by the folder's lead
// (folderlead.h), so that "at most once a day" holds when the plan passes
// from one Korvane to another.
inline constexpr const char* kPlanRunsFile = "planning.fait";

// One look of the folder's lead at the plan: the runs recorded in the folder
// count as run, and the actions due now are recorded there before they are
// returned, so that a Korvane taking the lead over never runs them again
// that day. A record that cannot be read or written is told in `problem`,
// in French; the actions due are returned all the same (this Korvane itself
// still runs each at most once a day).
struct PlanLook {
    std::vector<DueAction> due;
    std::string problem;
};
PlanLook LookAtPlan(DailyTrigger& trigger, const std::string& programDir, LocalMinute now,
                    const Schedules& schedules);

// The next action of an entry's plan after the local minute `nowMinute`, and
// in how many minutes it comes (1 to a whole day); nothing without a plan.
struct NextAction {
    PlannedAction action = PlannedAction::WakeUp;
    int wait = 0;
};
std::optional<NextAction> NextPlannedAction(const EntrySchedule& schedule, int nowMinute);

// The hint of a map entry: "Prochaine action : arrêt à 19:00", with
// " (demain)" when it comes after midnight; empty without a plan.
std::string NextActionHint(const EntrySchedule& schedule, int nowMinute);

}  // namespace korvane
