#include "korvane/core/schedule.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unordered_set>

#include "platform/platform.h"

namespace korvane {

namespace {

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
int DaysFromCivil(int year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::string ActionWord(PlannedAction action) {
    return action == PlannedAction::WakeUp ? "allumage" : "arrêt";
}

std::string DateText(int days) {
    const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{days}}};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

std::optional<int> ParseDate(const std::string& text) {
    int year = 0, month = 0, day = 0, consumed = 0;
    if (text.size() != 10 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &consumed) != 3 ||
        consumed != 10) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year{year},
                                           std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok()) return std::nullopt;
    return static_cast<int>(std::chrono::sys_days{date}.time_since_epoch().count());
}

}  // namespace

std::optional<int> ParseDailyTime(std::string_view text) {
    const std::string trimmed = toolkit::Trim(text);
    const std::size_t colon = trimmed.find(':');
    if (colon == std::string::npos) return std::nullopt;
    const std::string hours = trimmed.substr(0, colon);
    const std::string minutes = trimmed.substr(colon + 1);
    if (hours.size() > 2 || minutes.size() != 2 || !AllDigits(hours) || !AllDigits(minutes)) {
        return std::nullopt;
    }
    const int h = std::stoi(hours);
    const int m = std::stoi(minutes);
    if (h > 23 || m > 59) return std::nullopt;
    return h * 60 + m;
}

std::string FormatDailyTime(int minutes) {
    const int m = minutes % 60;
    return std::to_string(minutes / 60) + (m < 10 ? ":0" : ":") + std::to_string(m);
}

std::string DailyTimeRefusal(std::string_view field, std::string_view text) {
    return "Heure refusée pour « " + std::string(field) + " » : « " + std::string(text) +
           " ». Écrivez-la H:MM, de 0:01 à 23:59, ou 0:00 pour aucune action.";
}

// The names already planned are kept in a set: a plan of thousands of
// lines is read in one pass.
Schedules ParseSchedules(const toolkit::TextList& lines) {
    Schedules schedules;
    std::unordered_set<std::string> planned;  // lower case
    for (const std::string& line : lines) {
        const std::size_t first = line.find(';');
        const std::size_t second = line.find(';', first == std::string::npos ? first : first + 1);
        if (second == std::string::npos) continue;
        const auto wakeUp = ParseDailyTime(line.substr(first + 1, second - first - 1));
        const auto shutdown = ParseDailyTime(line.substr(second + 1));
        std::string name = toolkit::ListName(line.substr(0, first));
        if (name.empty() || !wakeUp || !shutdown) continue;
        if (*wakeUp == 0 && *shutdown == 0) continue;  // no action: not in the plan
        if (!planned.insert(toolkit::AsciiLower(name)).second) continue;  // first wins
        schedules.push_back({std::move(name), *wakeUp, *shutdown});
    }
    return schedules;
}

toolkit::TextList ScheduleLines(const Schedules& schedules) {
    toolkit::TextList lines;
    for (const EntrySchedule& s : schedules) {
        lines.push_back(s.name + ";" + FormatDailyTime(s.wakeUp) + ";" +
                        FormatDailyTime(s.shutdown));
    }
    return lines;
}

EntrySchedule ScheduleOf(const Schedules& schedules, std::string_view name) {
    for (const EntrySchedule& s : schedules) {
        if (toolkit::EqualsIgnoreCase(s.name, name)) return s;
    }
    return {std::string(name), 0, 0};
}

void SetSchedule(Schedules& schedules, const EntrySchedule& schedule) {
    std::erase_if(schedules, [&](const EntrySchedule& s) {
        return toolkit::EqualsIgnoreCase(s.name, schedule.name);
    });
    if (schedule.wakeUp != 0 || schedule.shutdown != 0) schedules.push_back(schedule);
}

Schedules LoadSchedules(const std::string& programDir) {
    const std::string path = programDir + kScheduleFile;
    if (!toolkit::platform::FileExists(path)) return {};
    return ParseSchedules(toolkit::LoadLines(path));
}

void SaveSchedules(const std::string& programDir, const Schedules& schedules) {
    toolkit::SaveLines(programDir + kScheduleFile, ScheduleLines(schedules));
}

CivilDate CivilFromDays(int days) {
    const int shifted = days + 719468;
    const int era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const int dayOfEra = shifted - era * 146097;
    const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const int month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::string FormatDayMonthYear(const CivilDate& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", date.day, date.month, date.year);
    return text;
}

LocalMinute MakeLocalMinute(int year, int month, int day, int hour, int minute) {
    return {DaysFromCivil(year, month, day), hour * 60 + minute};
}

LocalMinute LocalMinuteOf(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const std::tm local = toolkit::platform::LocalTime(seconds);
    return MakeLocalMinute(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min);
}

std::vector<DueAction> DailyTrigger::Tick(LocalMinute now, const Schedules& schedules) {
    std::vector<DueAction> due;
    // The clock went back (set right after it ran ahead, or the autumn
    // hour): the days run already say what not to run again.
    for (auto& [key, day] : ranOn_) day = std::min(day, now.day);
    if (previous_ && *previous_ > now.Linear()) previous_ = now.Linear() - 1;
    if (previous_) {
        for (const EntrySchedule& s : schedules) {
            if (Due(s.name, PlannedAction::WakeUp, s.wakeUp, now)) {
                due.push_back({s.name, PlannedAction::WakeUp});
            }
            if (Due(s.name, PlannedAction::Shutdown, s.shutdown, now)) {
                due.push_back({s.name, PlannedAction::Shutdown});
            }
        }
    }
    previous_ = now.Linear();
    return due;
}

// The minute is looked for on this local day only; a tick just after
// midnight looks back into the day before for the late minutes.
bool DailyTrigger::Due(const std::string& name, PlannedAction action, int minute, LocalMinute now) {
    if (minute == 0) return false;
    const long today = static_cast<long>(now.day) * kMinutesPerDay + minute;
    const long planned = today <= now.Linear() ? today : today - kMinutesPerDay;
    if (planned <= *previous_ || now.Linear() - planned > kLateMinutes) return false;
    const int day = static_cast<int>(planned / kMinutesPerDay);
    const auto key = std::make_pair(toolkit::AsciiLower(name), action);
    const auto ran = ranOn_.find(key);
    if (ran != ranOn_.end() && ran->second >= day) return false;
    ranOn_[key] = day;
    return true;
}

toolkit::TextList DailyTrigger::RunLines(int today) const {
    toolkit::TextList lines;
    for (const auto& [key, day] : ranOn_) {
        if (day < today - 1 || day > today) continue;
        lines.push_back(DateText(day) + ";" + key.first + ";" + ActionWord(key.second));
    }
    return lines;
}

void DailyTrigger::AdoptRuns(const toolkit::TextList& lines, int today) {
    for (const std::string& line : lines) {
        const std::size_t first = line.find(';');
        const std::size_t last = line.rfind(';');
        if (first == std::string::npos || last == first) continue;
        const auto day = ParseDate(line.substr(0, first));
        const std::string name = toolkit::AsciiLower(line.substr(first + 1, last - first - 1));
        const std::string word = line.substr(last + 1);
        if (!day || name.empty()) continue;
        PlannedAction action = PlannedAction::WakeUp;
        if (word == ActionWord(PlannedAction::Shutdown)) {
            action = PlannedAction::Shutdown;
        } else if (word != ActionWord(PlannedAction::WakeUp)) {
            continue;
        }
        int& ran = ranOn_[{name, action}];
        ran = std::max(ran, std::min(*day, today));
    }
}

PlanLook LookAtPlan(DailyTrigger& trigger, const std::string& programDir, LocalMinute now,
                    const Schedules& schedules) {
    const std::string path = programDir + kPlanRunsFile;
    PlanLook look;
    try {
        if (toolkit::platform::FileExists(path))
            trigger.AdoptRuns(toolkit::LoadLines(path), now.day);
    } catch (const toolkit::FileError& error) {
        look.problem = std::string("Actions planifiées du jour illisibles : ") + error.what();
    }
    look.due = trigger.Tick(now, schedules);
    if (look.due.empty()) return look;
    try {
        toolkit::SaveLines(path, trigger.RunLines(now.day));
    } catch (const toolkit::FileError& error) {
        look.problem = std::string("Actions planifiées du jour non enregistrées : ") + error.what();
    }
    return look;
}

std::optional<NextAction> NextPlannedAction(const EntrySchedule& schedule, int nowMinute) {
    std::optional<NextAction> next;
    for (const auto& [minute, action] : {std::pair{schedule.wakeUp, PlannedAction::WakeUp},
                                         std::pair{schedule.shutdown, PlannedAction::Shutdown}}) {
        if (minute == 0) continue;
        const int wait = (minute - nowMinute + kMinutesPerDay - 1) % kMinutesPerDay + 1;
        if (!next || wait < next->wait) next = NextAction{action, wait};
    }
    return next;
}

std::string NextActionHint(const EntrySchedule& schedule, int nowMinute) {
    const std::optional<NextAction> next = NextPlannedAction(schedule, nowMinute);
    if (!next) return {};
    const int at = (nowMinute + next->wait) % kMinutesPerDay;
    const bool tomorrow = nowMinute + next->wait >= kMinutesPerDay;
    return "Prochaine action : " + ActionWord(next->action) + " à " + FormatDailyTime(at) +
           (tomorrow ? " (demain)" : "");
}

}  // namespace korvane
