#include "korvane/app/scheduler.h"

#include <algorithm>
#include <utility>

namespace korvane {

TimerId SteppedScheduler::Every(int ms, TimerCallback callback) {
    return Add(ms, std::max(ms, 1), std::move(callback));
}

TimerId SteppedScheduler::After(int ms, TimerCallback callback) {
    return Add(ms, 0, std::move(callback));
}

TimerId SteppedScheduler::Add(int ms, int interval, TimerCallback callback) {
    const TimerId id = nextId_++;
    timers_[id] = Timer{now_ + std::max(ms, 0), interval, std::move(callback)};
    return id;
}

void SteppedScheduler::Cancel(TimerId id) {
    timers_.erase(id);
}

std::optional<std::int64_t> SteppedScheduler::NextDue() const {
    std::optional<std::int64_t> next;
    for (const auto& [id, timer] : timers_) {
        if (!next || timer.due < *next) next = timer.due;
    }
    return next;
}

std::optional<TimerId> SteppedScheduler::NextUntil(std::int64_t until) const {
    std::optional<TimerId> next;
    for (const auto& [id, timer] : timers_) {
        if (timer.due > until) continue;
        if (!next || timer.due < timers_.at(*next).due) next = id;
    }
    return next;
}

// The callback is copied out before it runs: it may cancel its own timer,
// or others, or add new ones.
void SteppedScheduler::Advance(std::int64_t ms) {
    RunPosted();
    const std::int64_t until = now_ + std::max<std::int64_t>(ms, 0);
    while (const std::optional<TimerId> id = NextUntil(until)) {
        Timer& timer = timers_.at(*id);
        now_ = std::max(now_, timer.due);
        TimerCallback callback = timer.callback;
        if (timer.interval > 0) {
            timer.due += timer.interval;
        } else {
            timers_.erase(*id);
        }
        callback();
    }
    now_ = until;
    RunPosted();
}

void SteppedScheduler::Post(TimerCallback callback) {
    std::function<void()> waker;
    {
        const std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(callback));
        waker = postWaker_;
    }
    if (waker) waker();
}

void SteppedScheduler::SetPostWaker(std::function<void()> waker) {
    const std::lock_guard lock(postedMutex_);
    postWaker_ = std::move(waker);
}

// Only what was posted before this call: a callback that posts again runs
// at the next call, so that a loop of posts never holds the thread.
void SteppedScheduler::RunPosted() {
    std::deque<TimerCallback> due;
    {
        const std::lock_guard lock(postedMutex_);
        due.swap(posted_);
    }
    for (TimerCallback& callback : due) callback();
}

}  // namespace korvane
