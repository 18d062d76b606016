// Korvane's app layer in a program folder of its own, for one test: a view
// that records what the app tells it, a scheduler stepped by hand, a clock
// the test steers, a private scratch folder, and stand-ins for the helper
// programs. No window, no Qt: the window tests share the folder.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../unit/test_folder.h"
#include "korvane/app/app.h"
#include "test_clock.h"

namespace app_testing {

using toolkit::TextList;

// Records every call of the app; questions are answered from `answers`
// ("Non" once they are used up).
class FakeView : public korvane::MainView {
  public:
    std::vector<korvane::MapState> maps;
    std::vector<korvane::Light> scanLights, pollLights;
    std::string status;                 // the status bar now
    std::vector<std::string> statuses;  // every text it showed, in order
    std::vector<std::string> console, warnings, messages, questions, urls;
    std::deque<bool> answers;
    std::vector<korvane::Notice> notices;
    bool notifierAnswers = true;  // false: as a desktop without notification service

    void ShowMap(const korvane::MapState& map) override { maps.push_back(map); }
    void ShowScanLight(korvane::Light light) override { scanLights.push_back(light); }
    void ShowPollLight(korvane::Light light) override { pollLights.push_back(light); }
    void ShowStatus(const std::string& text) override;
    void AppendConsole(const std::string& line) override { console.push_back(line); }
    void Warn(const std::string& text) override { warnings.push_back(text); }
    void Inform(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string& question) override;
    void OpenUrl(const std::string& url) override { urls.push_back(url); }
    bool Notify(const korvane::Notice& notice) override {
        if (notifierAnswers) notices.push_back(notice);
        return notifierAnswers;
    }

    // The one-line dialog: each prompt and initial text, answered from
    // `lines` ("Annuler" once they are used up).
    std::vector<std::pair<std::string, std::string>> prompts;
    std::deque<std::optional<std::string>> lines;
    std::optional<std::string> AskLine(const std::string& prompt,
                                       const std::string& initial) override;
    // The on/off dialog: each card shown, answered by `answerCard` ("Annuler"
    // with the card unchanged without one).
    std::vector<korvane::EntryCard> cards;
    std::function<korvane::CardAnswer(const korvane::EntryCard&)> answerCard;
    korvane::CardAnswer AskCard(const korvane::EntryCard& card) override;
    // Each window opened, with its entries; `whileOpen` runs while it is,
    // as the user would act in it.
    std::vector<std::pair<korvane::Window, TextList>> opened;
    std::function<void(korvane::Window)> whileOpen;
    void Open(korvane::Window window, const TextList& entries) override;
    // The intake window: the rows it was given, and its list as typed.
    std::vector<korvane::IntakeRows> intakeRows;
    TextList memo;
    void ShowIntakeRows(const korvane::IntakeRows& rows) override { intakeRows.push_back(rows); }
    TextList IntakeMemo() override { return memo; }
    int quits = 0;
    void Quit() override { ++quits; }

    // The map last shown (an empty one before any), and an entry's cell there.
    const korvane::MapState& Map() const;
    const korvane::MapEntry& Cell(std::size_t entry) const { return Map().entries.at(entry); }
    // One flag of every cell of the last map: Of(&MapEntry::up).
    std::vector<bool> Of(bool korvane::MapEntry::*flag) const;
    // Console lines that start with `start`.
    int ConsoleLines(std::string_view start) const;
};

// A stepped scheduler that knows its routine timers (the 10 s poll, the 15 s
// plan, the 60 s scan), so that waiting for scripts never runs one.
class TestScheduler : public korvane::SteppedScheduler {
  public:
    korvane::TimerId Every(int ms, korvane::TimerCallback callback) override;
    void Cancel(korvane::TimerId id) override;
    // When the next routine tick falls due; nothing when none waits.
    std::optional<std::int64_t> NextRoutineDue() const;

  private:
    std::map<korvane::TimerId, std::pair<std::int64_t, int>> routine_;  // start, interval
};

// A program folder in a temporary folder for one test, with a private
// scratch folder; the current folder is put back afterwards.
class ProgramDirectory {
  public:
    ProgramDirectory();
    ~ProgramDirectory();
    ProgramDirectory(const ProgramDirectory&) = delete;
    ProgramDirectory& operator=(const ProgramDirectory&) = delete;

    const std::string& Dir() const { return dir_; }          // with trailing "/"
    const std::string& Scratch() const { return scratch_; }  // with trailing "/"
    // This process's slot folder in the scratch folder, with trailing "/".
    std::string Slots() const;
    std::string operator/(const std::string& name) const { return dir_ + name; }

    // Copies a program of the build (hostping, netcmd, korvane) beside Korvane.
    void InstallProgram(const std::string& name) const;
    // Writes an executable shell script named `name` into the folder.
    void InstallScript(const std::string& name, const std::string& body) const;
    // The same in a folder put first on PATH for this test: a stand-in for
    // a system program (net, localc, xdg-open).
    void InstallOnPath(const std::string& name, const std::string& body);
    void Write(const std::string& name, const TextList& lines) const;
    TextList Read(const std::string& name) const;
    // The lines of a file; none when it does not exist.
    TextList Lines(const std::string& name) const;
    bool Exists(const std::string& name) const;

  private:
    testing_support::TempFolder folder_;
    std::string dir_, scratch_, oldCwd_;
    testing_support::ScopedEnv scratchEnv_;
    std::unique_ptr<testing_support::ScopedEnv> pathEnv_;
    testing_support::ScopedProgramDir programDir_;
};

// The app in a program folder of its own, on the real time scale.
class AppFolder : public ProgramDirectory {
  public:
    AppFolder();
    ~AppFolder() { Exit(); }

    // hostping's stand-in: it copies the lines of `answers` to the result,
    // whole at the end as the real one writes it, and adds the list it was
    // given to `lists`.
    void InstallHostpingStandIn() const;
    // The adapter listing of the netcmd stand-in; by default no gateway and
    // no server.
    void SetAdapter(const std::string& gateway, const std::string& dns = "",
                    const std::string& dhcp = "") const;

    // A new app started on a new view and scheduler (the clock stays); a
    // windowless one as "--planificateur" runs it.
    korvane::KorvaneApp& Start(const std::vector<korvane::Rect>& screens = {},
                               bool windowless = false);
    // What the next Start's app is given to serve the page with; none by default.
    korvane::WebServingMaker serving;
    // Korvane's exit, then the app goes.
    void Exit(const std::optional<korvane::WindowGeometry>& window = std::nullopt);
    // The app goes without its exit.
    void Drop() { app_.reset(); }
    korvane::KorvaneApp& App() const { return *app_; }
    FakeView& View() const { return *view_; }
    TestScheduler& Scheduler() const { return *scheduler_; }
    TestClock& Clock() { return clock_; }

    // Steps the scheduler while the detached scripts run, until `done` holds
    // or `ms` of real time have passed. The time moves only to the timers
    // due before the next routine tick, and only once no script runs: a
    // routine tick comes only when a test moves the time there itself.
    bool RunUntil(const std::function<bool()>& done, int ms = 15000);
    // Until every request is collected.
    bool Settle(int ms = 15000);
    // A 10-second tick of the app, collected.
    void Poll();
    // Lets `ms` of the app's time pass, each routine tick's requests
    // collected before the next tick.
    void Pass(std::int64_t ms);

  private:
    // True while some slot's script has not ended.
    bool ScriptsRunning() const;

    testing_support::ScopedEnv timeScale_;
    TestClock clock_;
    std::unique_ptr<FakeView> view_;
    std::unique_ptr<TestScheduler> scheduler_;
    std::unique_ptr<korvane::KorvaneApp> app_;
};

// True when this test program has a mount namespace of its own.
bool HasPrivateMounts();

}  // namespace app_testing
