// Korvane's own timers on the window's scheduler. Each one is known until it
// is cancelled or, for a one-shot timer, has run: an exit or the end of the
// app stops every timer that could still call into it.
#pragma once

#include <cstddef>
#include <set>

#include "korvane/app/scheduler.h"

namespace korvane {

class Timers {
  public:
    explicit Timers(Scheduler& scheduler) : scheduler_(scheduler) {}
    ~Timers();
    Timers(const Timers&) = delete;
    Timers& operator=(const Timers&) = delete;

    // Intervals are the program's own, shortened by the time scale of a soak run.
    TimerId Every(int ms, TimerCallback callback);
    TimerId After(int ms, TimerCallback callback);
    // Stops the timer and sets `id` to 0; 0 is no timer.
    void Cancel(TimerId& id);
    void CancelAll();
    // Every timer waiting on the scheduler, ours or not.
    std::size_t Waiting() const { return scheduler_.Count(); }
    // A soak run (a shortened time scale) follows our timers on stderr.
    void Trace() const;

  private:
    Scheduler& scheduler_;
    std::set<TimerId> timers_;  // every timer of ours that may still run
};

}  // namespace korvane
