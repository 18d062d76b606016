#include "korvane/app/timers.h"

#include <cstdio>
#include <memory>

#include "korvane/core/timescale.h"

namespace korvane {

Timers::~Timers() {
    for (const TimerId id : timers_) scheduler_.Cancel(id);
}

TimerId Timers::Every(int ms, TimerCallback callback) {
    const TimerId id = scheduler_.Every(ScaledInterval(ms), std::move(callback));
    timers_.insert(id);
    return id;
}

// A one-shot timer forgets itself when it has run.
TimerId Timers::After(int ms, TimerCallback callback) {
    auto id = std::make_shared<TimerId>(0);
    *id = scheduler_.After(ScaledInterval(ms), [this, id, callback = std::move(callback)] {
        timers_.erase(*id);
        callback();
    });
    timers_.insert(*id);
    return *id;
}

void Timers::Cancel(TimerId& id) {
    if (id == 0) return;
    scheduler_.Cancel(id);
    timers_.erase(id);
    id = 0;
}

void Timers::CancelAll() {
    for (const TimerId id : timers_) scheduler_.Cancel(id);
    timers_.clear();
}

void Timers::Trace() const {
    if (TimeScale() == 1) return;
    std::fprintf(stderr, "korvane : %lld minuteurs\n", static_cast<long long>(timers_.size()));
}

}  // namespace korvane
