#include "korvane/app/always_on.h"

#include "korvane/app/texts.h"
#include "platform/platform.h"
#include "utils.h"

namespace korvane {

namespace {

// systemctl's own words, its first line only: the dialog shows one line.
std::string FirstLine(const std::string& output) {
    const std::string line = toolkit::Trim(output.substr(0, output.find('\n')));
    return line.empty() ? std::string("aucun message") : line;
}

std::string LogonCommand(const SystemSeam& system) {
    return "\"" + system.programFolder + "korvane.exe\" --planificateur";
}

}  // namespace

SystemSeam RealSystem() {
    namespace platform = toolkit::platform;
    SystemSeam system;
    system.run = [](const std::string& program, const std::vector<std::string>& arguments,
                    std::string& output) {
        return platform::RunProgramAndWait(program, arguments, &output);
    };
    system.logonEntry = platform::UserLogonEntry;
    system.setLogonEntry = platform::SetUserLogonEntry;
    system.removeLogonEntry = platform::RemoveUserLogonEntry;
    system.programFolder = platform::ExecutableDir();
    return system;
}

// "systemctl --user is-enabled" says "enabled" (exit 0) or "disabled" (exit
// 1); anything else (no user manager, no unit installed) is not known.
std::optional<bool> PlannerKeptRunning(toolkit::Os os, const SystemSeam& system) {
    if (os == toolkit::Os::Windows) return system.logonEntry(kPlannerLogonEntry).has_value();
    std::string output;
    const int code = system.run("systemctl", {"--user", "is-enabled", kPlannerUnit}, output);
    const std::string said = toolkit::Trim(output.substr(0, output.find('\n')));
    if (code == 0 && said == "enabled") return true;
    if (said == "disabled") return false;
    return std::nullopt;
}

std::optional<std::string> KeepPlannerRunning(toolkit::Os os, const SystemSeam& system, bool on) {
    if (os == toolkit::Os::Windows) {
        const bool done = on ? system.setLogonEntry(kPlannerLogonEntry, LogonCommand(system))
                             : system.removeLogonEntry(kPlannerLogonEntry);
        if (done) return std::nullopt;
        return std::string(on ? text::kKeepRunningNoEntry : text::kKeepRunningEntryStays);
    }
    std::string output;
    const int code = system.run(
        "systemctl", {"--user", on ? "enable" : "disable", "--now", kPlannerUnit}, output);
    if (code == 0) return std::nullopt;
    if (code < 0) return std::string(text::kKeepRunningNoSystemctl);
    return text::kKeepRunningFailed + FirstLine(output) + text::kKeepRunningManual;
}

}  // namespace korvane
