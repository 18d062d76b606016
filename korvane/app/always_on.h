// "Garder Korvane actif, fenêtre fermée": the planner (korvane
// --planificateur) started with the user's session and kept running, so that
// the plan, the journal and the access from the network go on with the
// window closed. On Linux the Debian package's systemd user unit
// (kPlannerUnit) is enabled and started, or disabled and stopped, with
// systemctl --user; on Windows the user's logon entry that the installer can
// also write is added or removed. The calls that reach the system go
// through a seam, so that the tests give a stand-in.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools.h"

namespace korvane {

inline constexpr const char* kPlannerUnit = "korvane-planificateur.service";
inline constexpr const char* kPlannerLogonEntry = "Korvane planificateur";

struct SystemSeam {
    // A program and its arguments, no shell; the exit code (-1: it could not
    // start) and what it wrote.
    std::function<int(const std::string& program, const std::vector<std::string>& arguments,
                      std::string& output)>
        run;
    std::function<std::optional<std::string>(const std::string& name)> logonEntry;
    std::function<bool(const std::string& name, const std::string& command)> setLogonEntry;
    std::function<bool(const std::string& name)> removeLogonEntry;
    std::string programFolder;  // the running program's, trailing separator
};
// The real one, over toolkit::platform.
SystemSeam RealSystem();

// Whether the planner is kept running; nullopt when it cannot be told (no
// systemd for this user: the README's manual steps then apply).
std::optional<bool> PlannerKeptRunning(toolkit::Os os, const SystemSeam& system);
// Keeps it running, or stops doing so; the reason (French) when that failed.
std::optional<std::string> KeepPlannerRunning(toolkit::Os os, const SystemSeam& system, bool on);

}  // namespace korvane
