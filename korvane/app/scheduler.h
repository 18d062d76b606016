// Korvane's timers, as the app layer sees them: repeating and one-shot
// callbacks that a window layer runs on its own loop (a QTimer, a Win32
// timer), or that a caller steps by hand (the tests, the window-free
// planner's loop). Every callback runs on the thread that owns the
// scheduler, one at a time; a callback may cancel any timer, its own included.
// Post is the one call another thread may make: it hands a callback to the
// scheduler's thread (the web server's threads never touch the app).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

namespace korvane {

using TimerId = std::uint64_t;
using TimerCallback = std::function<void()>;

class Scheduler {
  public:
    virtual ~Scheduler() = default;
    // Runs `callback` every `ms` milliseconds until cancelled.
    virtual TimerId Every(int ms, TimerCallback callback) = 0;
    // Runs `callback` once, `ms` milliseconds from now.
    virtual TimerId After(int ms, TimerCallback callback) = 0;
    // Stops the timer; an unknown or finished one is ignored.
    virtual void Cancel(TimerId id) = 0;
    // How many timers are waiting now.
    virtual std::size_t Count() const = 0;
    // Runs `callback` once on the scheduler's thread, soon, after what that
    // thread is doing now. Safe from any thread. The caller bounds how many
    // it posts; a callback posted when the scheduler goes is dropped.
    virtual void Post(TimerCallback callback) = 0;
};

// A scheduler whose time moves only when told: Advance runs the callbacks
// posted, then every callback that falls due, in the order of their due
// times (then of their creation), then those posted meanwhile.
class SteppedScheduler : public Scheduler {
  public:
    TimerId Every(int ms, TimerCallback callback) override;
    TimerId After(int ms, TimerCallback callback) override;
    void Cancel(TimerId id) override;
    std::size_t Count() const override { return timers_.size(); }
    void Post(TimerCallback callback) override;
    // Called on the posting thread after each Post: the window-free
    // planner's loop wakes from its wait with it.
    void SetPostWaker(std::function<void()> waker);
    // Runs the callbacks posted so far (Advance does it too).
    void RunPosted();

    // Moves the time `ms` forward, running what falls due on the way.
    void Advance(std::int64_t ms);
    // Milliseconds since the scheduler was made.
    std::int64_t Now() const { return now_; }
    // When the next timer falls due; nothing when none waits.
    std::optional<std::int64_t> NextDue() const;

  private:
    struct Timer {
        std::int64_t due = 0;
        int interval = 0;  // 0: once
        TimerCallback callback;
    };
    TimerId Add(int ms, int interval, TimerCallback callback);
    // The next timer due at or before `until`.
    std::optional<TimerId> NextUntil(std::int64_t until) const;

    std::map<TimerId, Timer> timers_;
    TimerId nextId_ = 1;
    std::int64_t now_ = 0;
    std::mutex postedMutex_;
    std::deque<TimerCallback> posted_;
    std::function<void()> postWaker_;
};

}  // namespace korvane
