// The app layer's timers as Win32 timers (SetTimer) of a message-only window
// of the window's thread: every message loop of that thread runs them, those
// of the dialogs, the boxes and the menus included. As with Qt's timers, a
// timer whose callback is still running (a box open inside it) is not run
// again inside itself. A callback posted from another thread waits in a
// queue of ours, and one message posted to the window (at most one at a
// time) has the window's thread run the queue.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "korvane/app/scheduler.h"

namespace korvane::win32 {

class Win32Scheduler : public Scheduler {
  public:
    Win32Scheduler();
    ~Win32Scheduler() override;
    Win32Scheduler(const Win32Scheduler&) = delete;
    Win32Scheduler& operator=(const Win32Scheduler&) = delete;

    TimerId Every(int ms, TimerCallback callback) override;
    TimerId After(int ms, TimerCallback callback) override;
    void Cancel(TimerId id) override;
    std::size_t Count() const override { return timers_.size(); }
    void Post(TimerCallback callback) override;

  private:
    struct Timer {
        bool once = false;
        bool running = false;
        std::shared_ptr<TimerCallback> callback;
    };
    TimerId Add(int ms, bool once, TimerCallback callback);
    void Fire(TimerId id);
    void RunPosted();
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    std::map<TimerId, Timer> timers_;
    TimerId nextId_ = 1;
    std::mutex postedMutex_;
    std::deque<TimerCallback> posted_;
    bool messagePending_ = false;  // under postedMutex_
};

}  // namespace korvane::win32
