// The requests to end, Windows: the console's control events (Ctrl+C, the
// console closed, the end of the session) set an event that a window-free
// loop waits on. A window learns of the end of the session by its own
// messages (WM_QUERYENDSESSION, WM_ENDSESSION).
#include <windows.h>

#include <atomic>

#include "platform.h"

namespace toolkit::platform {

namespace {

std::atomic<bool> quitFlag{false};
HANDLE quitEvent = nullptr;
HANDLE wakeEvent = nullptr;  // auto-reset: one wake-up ends one wait

BOOL WINAPI OnControlEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            quitFlag = true;
            if (quitEvent != nullptr) SetEvent(quitEvent);
            // The handler's thread waits a moment, so that the main thread
            // can end in order before the process is taken away.
            if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) Sleep(5000);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void CatchQuitRequests() {
    if (quitEvent != nullptr) return;
    quitEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

bool QuitRequested() {
    return quitFlag;
}

bool WaitForQuitRequest(int ms) {
    if (quitFlag) return true;
    const DWORD wait = static_cast<DWORD>(ms > 0 ? ms : 0);
    if (quitEvent == nullptr) {
        Sleep(wait);
    } else if (wakeEvent == nullptr) {
        WaitForSingleObject(quitEvent, wait);
    } else {
        const HANDLE events[] = {quitEvent, wakeEvent};
        WaitForMultipleObjects(2, events, FALSE, wait);
    }
    return quitFlag;
}

void WakeQuitWait() {
    if (wakeEvent != nullptr) SetEvent(wakeEvent);
}

int QuitRequestDescriptor() {
    return -1;
}

void DrainQuitRequests() {}

}  // namespace toolkit::platform
