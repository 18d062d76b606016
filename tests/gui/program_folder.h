// Korvane's real windows in a program folder of their own, for one test.
#pragma once

#include <gtest/gtest.h>

#include <QPixmap>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <string>

#include "../app/app_folder.h"
#include "forms.h"
#include "main_window.h"
#include "qt_scheduler.h"
#include "umachine.h"
#include "utils.h"

namespace gui_testing {

using app_testing::TestClock;

// Qt's timers, but for the 10 s poll and the 60 s scan: a test drives every
// poll itself.
class StillScheduler : public korvane::QtScheduler {
  public:
    korvane::TimerId Every(int ms, korvane::TimerCallback callback) override;
};

// Korvane's windows in a program folder of their own, with the bitmaps and
// the real netcmd; Korvane's messages are collected, not shown.
class ProgramFolder : public app_testing::ProgramDirectory {
  public:
    ProgramFolder();
    ~ProgramFolder();

    // Korvane's windows, created and destroyed as the program does.
    korvane::TForm1& Start();
    // The same, shown, with the 10 s and 60 s timers stopped: the test drives
    // every poll itself.
    korvane::TForm1& StartStill();
    // Korvane's exit, then its windows go.
    void Stop();
    korvane::TForm1& Form() const { return *forms_->Form1(); }
    korvane::KorvaneApp& App() const { return forms_->App(); }
    TestClock& Clock() { return clock_; }

    const QStringList& Messages() const { return messages_; }

  private:
    TestClock clock_;
    std::unique_ptr<StillScheduler> still_;
    std::unique_ptr<korvane::Forms> forms_;
    QStringList messages_;
};

// The picture a glyph button or an image shows, compared by content.
bool SamePicture(const QPixmap& a, const QPixmap& b);

// True while a poll or check of the window still has its request timer.
bool HasPendingRequests(const korvane::TForm1& form);

// Lines of the window's console log that start with `start`.
int ConsoleLines(const korvane::TForm1& form, const QString& start);

// Clicks the map button of `entry` and lets `press` answer the on/off dialog
// (click "ON" or "OFF", or close it) while it is up.
void ClickEntry(korvane::TForm1& form, int entry,
                const std::function<void(korvane::Tmachines*)>& press);

// Processes events until `done` holds or `ms` have passed.
bool WaitFor(const std::function<bool()>& done, int ms = 5000);

}  // namespace gui_testing
