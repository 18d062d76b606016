// The app layer's timers on the window's thread (Win32Scheduler): what the
// Qt scheduler guarantees must hold here too, since the app layer relies on
// it. Run under Wine by tests/windows/window_test.sh.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>

#include "win32_scheduler.h"

namespace {

using korvane::TimerId;
using korvane::win32::Win32Scheduler;

// Runs the thread's messages for `ms`, as a window's loop (or a dialog's) would.
void Pump(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
}

TEST(Win32Scheduler, RepeatsRunsOnceAndForgetsWhatIsCancelled) {
    Win32Scheduler scheduler;
    int repeated = 0, once = 0, cancelled = 0;
    scheduler.Every(20, [&] { ++repeated; });
    scheduler.After(20, [&] { ++once; });
    const TimerId gone = scheduler.Every(20, [&] { ++cancelled; });
    EXPECT_EQ(scheduler.Count(), 3u);
    scheduler.Cancel(gone);
    scheduler.Cancel(gone);  // twice, or an unknown one: nothing happens
    scheduler.Cancel(12345);
    Pump(300);
    EXPECT_GE(repeated, 3);
    EXPECT_EQ(once, 1);
    EXPECT_EQ(cancelled, 0);
    EXPECT_EQ(scheduler.Count(), 1u);  // the one-shot forgot itself
}

// A callback may cancel its own timer, and the others', while it runs.
TEST(Win32Scheduler, ACallbackCancelsItsOwnTimerAndAnother) {
    Win32Scheduler scheduler;
    int own = 0, other = 0;
    TimerId otherId = 0;
    TimerId ownId = 0;
    ownId = scheduler.Every(15, [&] {
        ++own;
        scheduler.Cancel(ownId);
        scheduler.Cancel(otherId);
    });
    otherId = scheduler.Every(400, [&] { ++other; });
    Pump(200);
    EXPECT_EQ(own, 1);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(scheduler.Count(), 0u);
}

// A box opened inside a callback runs a loop of its own: the other timers go
// on (the polls must not stop while a message waits for the user), but the
// timer whose callback shows the box does not run again inside itself.
TEST(Win32Scheduler, ANestedLoopRunsTheOtherTimersNotTheRunningOne) {
    Win32Scheduler scheduler;
    int depth = 0, deepest = 0, runs = 0, others = 0;
    scheduler.Every(10, [&] {
        ++runs;
        deepest = std::max(deepest, ++depth);
        if (runs == 1) Pump(200);  // as MessageBox would
        --depth;
    });
    scheduler.Every(20, [&] { ++others; });
    Pump(300);
    EXPECT_EQ(deepest, 1);
    EXPECT_GE(others, 5);
    EXPECT_GE(runs, 2);  // it runs again once its first run has returned
}

}  // namespace
