#include "korvane/app/console.h"

#include "korvane/app/texts.h"

namespace korvane {

void Console::Log(const std::string& line) {
    lines_.push_back(line);
    view_.AppendConsole(line);
}

void Console::Status(const std::string& text) {
    status_ = text;
    view_.ShowStatus(text);
}

void Console::ReportProblem(const std::string& cause, const std::string& message) {
    if (!problems_.Raise(cause, message)) return;
    Log(message);
    Status(message);
}

void Console::ProblemSolved(const std::string& cause) {
    const std::optional<std::string> shown = problems_.Clear(cause);
    if (shown && status_ == *shown) Status("");
}

bool Console::Save(const std::string& path) {
    try {
        toolkit::SaveLines(path, lines_);
    } catch (const toolkit::FileError& error) {
        view_.Warn(text::kConsoleNotSaved + std::string(error.what()));
        return false;
    }
    return true;
}

}  // namespace korvane
