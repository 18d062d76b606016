#include "win32_scheduler.h"

namespace korvane::win32 {

namespace {
constexpr const wchar_t* kClassName = L"KorvaneTimers";
// The message that has the window's thread run the callbacks posted.
constexpr UINT kRunPosted = WM_APP + 1;
}

Win32Scheduler::Win32Scheduler() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Scheduler::~Win32Scheduler() {
    for (const auto& [id, timer] : timers_) KillTimer(window_, static_cast<UINT_PTR>(id));
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

TimerId Win32Scheduler::Every(int ms, TimerCallback callback) {
    return Add(ms, false, std::move(callback));
}

TimerId Win32Scheduler::After(int ms, TimerCallback callback) {
    return Add(ms, true, std::move(callback));
}

TimerId Win32Scheduler::Add(int ms, bool once, TimerCallback callback) {
    const TimerId id = nextId_++;
    timers_[id] = {once, false, std::make_shared<TimerCallback>(std::move(callback))};
    SetTimer(window_, static_cast<UINT_PTR>(id), static_cast<UINT>(ms > 0 ? ms : 1), nullptr);
    return id;
}

void Win32Scheduler::Cancel(TimerId id) {
    const auto found = timers_.find(id);
    if (found == timers_.end()) return;
    KillTimer(window_, static_cast<UINT_PTR>(id));
    timers_.erase(found);
}

// The callback is kept alive by its own copy while it runs: it may cancel its
// timer, or the app may end, before it returns.
void Win32Scheduler::Fire(TimerId id) {
    const auto found = timers_.find(id);
    if (found == timers_.end()) {
        KillTimer(window_, static_cast<UINT_PTR>(id));  // a tick that came after its cancel
        return;
    }
    if (found->second.running) return;
    const std::shared_ptr<TimerCallback> callback = found->second.callback;
    if (found->second.once) {
        Cancel(id);
    } else {
        found->second.running = true;
    }
    (*callback)();
    const auto still = timers_.find(id);
    if (still != timers_.end()) still->second.running = false;
}

// The message is posted only when none waits: a flood of posts costs one
// message, not one each.
void Win32Scheduler::Post(TimerCallback callback) {
    const std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(callback));
    if (messagePending_) return;
    messagePending_ = PostMessageW(window_, kRunPosted, 0, 0) != FALSE;
}

void Win32Scheduler::RunPosted() {
    std::deque<TimerCallback> due;
    {
        const std::lock_guard lock(postedMutex_);
        due.swap(posted_);
        messagePending_ = false;
    }
    for (TimerCallback& callback : due) callback();
}

LRESULT CALLBACK Win32Scheduler::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        auto* self = reinterpret_cast<Win32Scheduler*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr) self->Fire(static_cast<TimerId>(wParam));
        return 0;
    }
    if (message == kRunPosted) {
        auto* self = reinterpret_cast<Win32Scheduler*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr) self->RunPosted();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace korvane::win32
