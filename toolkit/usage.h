// The two options every console program of Korvane answers before anything
// else, as Debian's console programs do: --help and --version, in French, on
// standard output, exit status 0.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace toolkit {

// "PROGRAM (Korvane) VERSION" and the line that follows it.
std::string VersionText(std::string_view program);

// When the first argument is exactly --help or --version, writes the help
// text or the version text to `out` and returns 0 (1 when `out` failed);
// otherwise nullopt and nothing is written. `help` ends with a newline; the
// line naming the two options follows it.
std::optional<int> AnswerInfoOption(int argc, const char* const* argv, std::string_view program,
                                    std::string_view help, std::ostream& out);
// The same on the arguments as StartConsole gives them, the program first.
std::optional<int> AnswerInfoOption(const std::vector<std::string>& args, std::string_view program,
                                    std::string_view help, std::ostream& out);

// Readies a console program: its French text reaches a Windows console
// whatever the console's code page, and its arguments are read whole, as
// UTF-8 (a path with accents in a batch file). Returns them, the program
// first.
std::vector<std::string> StartConsole(int argc, char** argv);

}  // namespace toolkit
