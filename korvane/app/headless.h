// Korvane with no window at all ("--planificateur", for a session service or
// an autostart entry): the same behaviour on a loop of its own, what a box,
// the status bar or the console log would say on the standard error (the
// service's journal), every question answered "Non". It ends, as "Quitter"
// does, on a request to end.
#pragma once

#include <string>

#include "korvane/app/view.h"
#include "korvane/app/web_serving.h"

namespace korvane {

class HeadlessView : public MainView {
  public:
    void ShowMap(const MapState&) override {}
    void ShowScanLight(Light) override {}
    void ShowPollLight(Light) override {}
    // The app tells a problem once, until it is over (ReportProblem), in
    // the console log and the status bar both: it is written once.
    void ShowStatus(const std::string& text) override;
    void AppendConsole(const std::string& line) override;
    void Warn(const std::string& text) override;
    void Inform(const std::string& text) override;
    bool AskYesNo(const std::string& question) override;
    void OpenUrl(const std::string&) override {}
    // Nobody may be at a desktop: the window's next start tells the incidents.
    bool Notify(const Notice&) override { return true; }
    // No window, no menu: nothing asks these, and nobody could answer.
    std::optional<std::string> AskLine(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    CardAnswer AskCard(const EntryCard& card) override { return {CardChoice::Cancel, card}; }
    void Open(Window, const toolkit::TextList&) override {}
    void ShowIntakeRows(const IntakeRows&) override {}
    toolkit::TextList IntakeMemo() override { return {}; }
    // A request to end does it (toolkit::platform).
    void Quit() override {}

  private:
    std::string lastLine_;  // the console's latest line
};

// Runs Korvane until a request to end (toolkit::platform::CatchQuitRequests
// must have been called), serving the page with what `serving` makes;
// returns the program's exit status.
int RunHeadless(const WebServingMaker& serving = {});

}  // namespace korvane
