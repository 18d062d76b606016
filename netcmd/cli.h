// The command line of netcmd: four commands standing in for the Windows
// network commands the toolkit runs captured.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace netcmd {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // bad address, or the system refused
inline constexpr int kExitUsage = 2;

// Runs one command; `args` excludes the program name. The listing goes to
// `out` with LF line ends, French messages to `err`.
int RunNetcmd(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace netcmd
