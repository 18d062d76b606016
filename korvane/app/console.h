// The console log (a window the user opens), the status bar, and the
// problems that stop the polling or the plan, each told once until it is over.
#pragma once

#include <string>

#include "korvane/app/view.h"
#include "korvane/core/polling.h"
#include "utils.h"

namespace korvane {

class Console {
  public:
    explicit Console(MainView& view) : view_(view) {}

    void Log(const std::string& line);
    void Status(const std::string& text);
    // Told in the log and the status bar once per cause, until ProblemSolved.
    void ReportProblem(const std::string& cause, const std::string& message);
    // The status bar is cleared when it still shows the cause's message.
    void ProblemSolved(const std::string& cause);

    const toolkit::TextList& Lines() const { return lines_; }
    // False when the file cannot be written (told).
    bool Save(const std::string& path);

  private:
    MainView& view_;
    toolkit::TextList lines_;
    std::string status_;  // what the status bar shows now, as we put it there
    PollProblems problems_;
};

}  // namespace korvane
