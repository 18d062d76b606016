// The energy report of the API, computed on a server thread (never the
// app's) with the core's pure functions from the journal of states and the
// power draws, both read-only; kept a minute for each period and list of
// entries, so that a page refreshed by many viewers reads the journal once.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "korvane/core/energy.h"

namespace korvane::web {

inline constexpr int kMaxEnergyDays = 90;  // the journal keeps about 90 days

struct EnergyTable {
    std::vector<EnergyRow> rows;
    toolkit::TextList dayLabels;  // "dd/mm/yyyy"
    std::string problem;          // French: the journal could not be read
};

class EnergyCache {
  public:
    // The report of `names` over the `days` last local days (today the last).
    std::shared_ptr<const EnergyTable> Report(const std::string& programDir,
                                              const toolkit::TextList& names, int days,
                                              std::chrono::system_clock::time_point now);

  private:
    struct Kept {
        std::int64_t computed = 0;
        std::shared_ptr<const EnergyTable> table;
    };
    std::mutex mutex_;  // one computation at a time: the journal is read once
    std::map<std::string, Kept> kept_;
};

}  // namespace korvane::web
