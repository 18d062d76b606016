// How long a remote shutdown waits and what it tells the user of the computer
// that goes down: the preferences' delay and comment, kept in a file of their
// own (krv.ini is netsweep's too). With nothing saved every shutdown is the
// one of old: 30 seconds, no comment.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "tools.h"
#include "utils.h"

namespace korvane {

inline constexpr const char* kShutdownSettingsFile = "arret.ini";
inline constexpr int kDefaultShutdownDelay = 30;
inline constexpr int kMaxShutdownDelay = 600;
// The longest comment Windows' shutdown command takes.
inline constexpr std::size_t kMaxShutdownCommentLength = 512;

struct ShutdownSettings {
    int delay = kDefaultShutdownDelay;  // seconds
    std::string comment;                // empty: no comment switch at all
    bool operator==(const ShutdownSettings&) const = default;
};

// The delay as typed: decimal digits (blanks around them allowed) giving 0 to
// 600. nullopt when it does not parse or is out of range.
std::optional<int> ParseShutdownDelay(std::string_view text);
std::string ShutdownDelayRefusal(std::string_view text);

// Why a comment cannot be sent, in French, or nullopt. Refused: more than 512
// bytes, any control character (a line break included: the message is one
// line), and on Windows a double quote, which would end the quoted argument
// in the batch file. Everything else, quotes, "$()", ";" and letters of any
// script included, is sent as it is.
std::optional<std::string> ShutdownCommentProblem(toolkit::Os os, std::string_view comment);

// "delai=" and "commentaire=" lines; a missing key or a refused value keeps
// its default.
ShutdownSettings ParseShutdownSettings(toolkit::Os os, const toolkit::TextList& lines);
toolkit::TextList ShutdownSettingsLines(const ShutdownSettings& settings);

// The settings of the program folder's file; its absence means the defaults.
// Throws FileError when it exists and cannot be read.
ShutdownSettings LoadShutdownSettings(toolkit::Os os, const std::string& programDir);
// Replaces the file atomically. Throws FileError.
void SaveShutdownSettings(const std::string& programDir, const ShutdownSettings& settings);

}  // namespace korvane
