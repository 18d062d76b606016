#include "korvane/web/energycache.h"

#include "korvane/core/history.h"
#include "korvane/core/schedule.h"

namespace korvane::web {

namespace {

constexpr std::int64_t kKeepSeconds = 60;
constexpr std::size_t kMostKept = 16;

std::shared_ptr<const EnergyTable> Compute(const std::string& programDir,
                                           const toolkit::TextList& names, int days,
                                           std::chrono::system_clock::time_point now) {
    auto table = std::make_shared<EnergyTable>();
    std::vector<StateChange> history;
    toolkit::TextList draws;
    try {
        // No folder (a test's board): an empty report, never the current folder's journal.
        if (programDir.empty()) throw toolkit::FileError("aucun dossier de programme");
        history = LoadHistory(programDir);
        draws = LoadPowerDraws(programDir);
    } catch (const toolkit::FileError& error) {
        table->problem = error.what();
    }
    const int today = LocalMinuteOf(now).day;
    const CivilDate first = CivilFromDays(today + 1 - days);
    for (int day = 0; day < days; ++day) {
        table->dayLabels.push_back(FormatDayMonthYear(CivilFromDays(today + 1 - days + day)));
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    table->rows = EnergyRows(history, names, draws,
                             LocalDayBounds(first.year, first.month, first.day, days), seconds);
    return table;
}

}  // namespace

std::shared_ptr<const EnergyTable> EnergyCache::Report(const std::string& programDir,
                                                       const toolkit::TextList& names, int days,
                                                       std::chrono::system_clock::time_point now) {
    std::string key = std::to_string(days);
    for (const std::string& name : names) key += "\n" + name;
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    const std::lock_guard lock(mutex_);
    if (const auto found = kept_.find(key); found != kept_.end() &&
                                            seconds - found->second.computed >= 0 &&
                                            seconds - found->second.computed < kKeepSeconds) {
        return found->second.table;
    }
    if (kept_.size() >= kMostKept) kept_.clear();
    auto table = Compute(programDir, names, days, now);
    kept_[key] = {seconds, table};
    return table;
}

}  // namespace korvane::web
