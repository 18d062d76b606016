#include "qt_scheduler.h"

#include <QTimer>

namespace korvane {

TimerId QtScheduler::Every(int ms, TimerCallback callback) {
    return Add(ms, false, std::move(callback));
}

TimerId QtScheduler::After(int ms, TimerCallback callback) {
    return Add(ms, true, std::move(callback));
}

TimerId QtScheduler::Add(int ms, bool once, TimerCallback callback) {
    const TimerId id = nextId_++;
    auto* timer = new QTimer(&owner_);
    timer->setInterval(ms);
    timer->setSingleShot(once);
    QObject::connect(timer, &QTimer::timeout, &owner_,
                     [this, id, once, callback = std::move(callback)] {
                         if (once) Cancel(id);
                         callback();
                     });
    timers_[id] = timer;
    timer->start();
    return id;
}

// Qt's event queue is safe from any thread; events left for the owner when
// it goes are dropped with it.
void QtScheduler::Post(TimerCallback callback) {
    QMetaObject::invokeMethod(&owner_, std::move(callback), Qt::QueuedConnection);
}

// The timer may be the one whose tick runs now: it goes when the loop is back.
void QtScheduler::Cancel(TimerId id) {
    const auto found = timers_.find(id);
    if (found == timers_.end()) return;
    found->second->stop();
    found->second->deleteLater();
    timers_.erase(found);
}

}  // namespace korvane
