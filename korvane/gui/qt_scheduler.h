// The app layer's timers on Qt's event loop: one QTimer each; a callback
// posted from another thread is a queued invocation on the loop's thread.
#pragma once

#include <QObject>
#include <map>

#include "korvane/app/scheduler.h"

class QTimer;

namespace korvane {

class QtScheduler : public Scheduler {
  public:
    TimerId Every(int ms, TimerCallback callback) override;
    TimerId After(int ms, TimerCallback callback) override;
    void Cancel(TimerId id) override;
    std::size_t Count() const override { return timers_.size(); }
    void Post(TimerCallback callback) override;

  private:
    TimerId Add(int ms, bool once, TimerCallback callback);

    QObject owner_;  // the timers' parent: they go with the scheduler
    std::map<TimerId, QTimer*> timers_;
    TimerId nextId_ = 1;
};

}  // namespace korvane
