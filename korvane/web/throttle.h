// The slow-down of failed log-ins, per client address: each failure adds one
// to a score that leaks away at a steady rate. Below `free` the client may
// try at once; above it, it waits until the score has leaked back below, and
// is told how long (429, Retry-After) rather than a thread sleeping. Nobody
// is ever locked out for good: the owner who mistyped ten times waits a few
// minutes. Bounded: past the most clients, the one with the lowest score goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace korvane::web {

struct ThrottleRule {
    double free = 5;                // failures allowed before any wait
    std::int64_t leakSeconds = 60;  // one failure forgotten per this many seconds
    std::size_t most = 1024;
};

class LoginThrottle {
  public:
    explicit LoginThrottle(ThrottleRule rule = {}) : rule_(rule) {}
    // Seconds `client` must wait before it may try again; 0 when it may now.
    std::int64_t Wait(const std::string& client, std::int64_t now);
    // A success does not wipe the failures: a holder of a "réveil seulement"
    // token would otherwise reset the count between guesses of the password.
    void Failed(const std::string& client, std::int64_t now);

  private:
    struct Record {
        double score = 0;
        std::int64_t time = 0;
    };
    double ScoreAt(const Record& record, std::int64_t now) const;

    ThrottleRule rule_;
    std::mutex mutex_;
    std::map<std::string, Record> records_;
};

}  // namespace korvane::web
