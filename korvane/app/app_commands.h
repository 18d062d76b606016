// The commands of Korvane's windows as one feature: each menu command of the
// table (command_table.h), an entry's click and its on/off dialog, a
// notification's click, the one-line prompts, and the intake dialog's rows,
// refreshed on the app's scheduler while the dialog is shown. It asks the
// view its questions and acts through KorvaneApp's public methods, so that
// the window layers only build menus and forward one call.
#pragma once

#include <vector>

#include "korvane/app/command_table.h"
#include "korvane/app/scheduler.h"
#include "korvane/app/view.h"

namespace korvane {

class KorvaneApp;

class CommandRunner {
  public:
    CommandRunner(KorvaneApp& app, MainView& view, Scheduler& scheduler)
        : app_(app), view_(view), scheduler_(scheduler) {}
    ~CommandRunner();
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;

    void Run(Command command, int entry);
    void EntryClicked(int entry);
    void NoticeClicked(const Notice& notice);

  private:
    // A modal window or question while none is open; false when one is: a
    // notification's click or a key cannot open a second one over it.
    bool OpenModal(Window window);
    void OpenIntake();
    void RefreshIntake();
    void AskComment(int entry);
    void AskRename(int entry);
    void StopIntakeTimers();

    KorvaneApp& app_;
    MainView& view_;
    Scheduler& scheduler_;
    bool modalOpen_ = false;
    std::vector<TimerId> intakeTimers_;
};

}  // namespace korvane
