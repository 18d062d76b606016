#include "korvane/app/headless.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "korvane/app/app.h"
#include "platform/platform.h"

namespace korvane {

namespace {

// The longest sleep between two looks at the timers.
constexpr std::int64_t kLongestWait = 1000;

void ToStandardError(const std::string& text) {
    std::fprintf(stderr, "korvane : %s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace

void HeadlessView::ShowStatus(const std::string& text) {
    if (!text.empty() && text != lastLine_) ToStandardError(text);
}

void HeadlessView::AppendConsole(const std::string& line) {
    lastLine_ = line;
    ToStandardError(line);
}

void HeadlessView::Warn(const std::string& text) {
    ToStandardError(text);
}

void HeadlessView::Inform(const std::string& text) {
    ToStandardError(text);
}

bool HeadlessView::AskYesNo(const std::string& question) {
    ToStandardError(question);
    return false;
}

// The stepped scheduler follows the real time: each turn runs what fell due,
// then sleeps until the next timer, a request to end, or a call posted by
// another thread (the web server's: the wait is woken for it).
int RunHeadless(const WebServingMaker& serving) {
    namespace platform = toolkit::platform;
    HeadlessView view;
    SteppedScheduler scheduler;
    scheduler.SetPostWaker(platform::WakeQuitWait);
    SystemClock clock;
    KorvaneApp app(view, scheduler, clock, serving);
    app.Start({}, true);
    const auto origin = std::chrono::steady_clock::now();
    while (!platform::QuitRequested()) {
        const std::int64_t elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - origin)
                                         .count();
        scheduler.Advance(elapsed - scheduler.Now());
        const std::int64_t wait = std::clamp<std::int64_t>(
            scheduler.NextDue().value_or(elapsed + kLongestWait) - scheduler.Now(), 0,
            kLongestWait);
        if (platform::WaitForQuitRequest(static_cast<int>(wait))) break;
    }
    app.Exit(std::nullopt);
    scheduler.SetPostWaker({});
    return 0;
}

}  // namespace korvane
