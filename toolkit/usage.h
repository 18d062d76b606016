// The two options every console program of Korvane answers before anything
// else, as Debian's console programs do: --help and --version, in French, on
// standard output, exit status 0.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace toolkit {

// "PROGRAM (Korvane) VERSION" and the line that follows it.
std::string VersionText(std::string_view program);

// When the first argument is exactly --help or --version, writes the help
// text or the version text to `out` and returns 0 (1 when `out` failed);
// otherwise nullopt and nothing is written. `help` ends with a newline; the
// line naming the two options follows it.
std::optional<int> AnswerInfoOption(int argc, const char* const* argv, std::string_view program,
                                    std::string_view help, std::ostream& out);

}  // namespace toolkit
