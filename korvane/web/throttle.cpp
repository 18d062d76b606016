#include "korvane/web/throttle.h"

#include <algorithm>
#include <cmath>

namespace korvane::web {

double LoginThrottle::ScoreAt(const Record& record, std::int64_t now) const {
    const double leaked = static_cast<double>(std::max<std::int64_t>(0, now - record.time)) /
                          static_cast<double>(rule_.leakSeconds);
    return std::max(0.0, record.score - leaked);
}

std::int64_t LoginThrottle::Wait(const std::string& client, std::int64_t now) {
    const std::lock_guard lock(mutex_);
    const auto found = records_.find(client);
    if (found == records_.end()) return 0;
    const double excess = ScoreAt(found->second, now) - rule_.free;
    if (excess < 0) return 0;
    return static_cast<std::int64_t>(std::floor(excess * static_cast<double>(rule_.leakSeconds))) +
           1;
}

void LoginThrottle::Failed(const std::string& client, std::int64_t now) {
    const std::lock_guard lock(mutex_);
    auto found = records_.find(client);
    if (found == records_.end()) {
        if (records_.size() >= rule_.most) {
            records_.erase(std::min_element(
                records_.begin(), records_.end(), [&](const auto& a, const auto& b) {
                    return ScoreAt(a.second, now) < ScoreAt(b.second, now);
                }));
        }
        found = records_.emplace(client, Record{}).first;
    }
    found->second.score = ScoreAt(found->second, now) + 1;
    found->second.time = now;
}

}  // namespace korvane::web
