// Which texts may name a managed entry. Korvane makes an entry's name part of
// file names (its group file, "powerup" + name, "shutdn" + name) and of script
// lines, and netsweep offers only the names that could become entries, so both
// keep to this one rule.
#pragma once

#include <cstddef>
#include <string_view>

namespace toolkit {

inline constexpr std::size_t kMaxEntryNameLength = 255;
// Letters of any script (valid UTF-8), digits, ".", "-" and "_"; not empty;
// not starting with "-" (an option to the programs it is passed to) or "."
// (".", "..", hidden files, the writers' temporaries); at most 255 bytes, the
// longest file name. Blanks (the lists split at the first one), path
// separators, control characters, invisible characters and punctuation are
// refused. So are, on every platform (the same lists serve both), the names
// Windows gives its own meaning to (IsWindowsSpecialName).
bool IsValidEntryName(std::string_view name);
// The rule above, as the refusals tell it: its characters, and the names of
// Windows. EntryNameRule gives the one a name breaks.
inline constexpr const char* kEntryNameRule =
    "lettres (accentuées ou d'autres écritures comprises), chiffres, « . », « - » et « _ » "
    "seulement, sans « . » ni « - » au début";
inline constexpr const char* kWindowsNameRule =
    "pas de nom de périphérique de Windows (con, prn, aux, nul, com0 à com9, lpt0 à lpt9), "
    "même suivi d'une extension, ni d'extension de programme (.exe, .com, .bat, .cmd, .ps1, "
    ".vbs, .js…)";
const char* EntryNameRule(std::string_view name);

// A name Windows does not take as a plain file, whatever its letter case
// and once the dots and blanks it drops at the end are gone:
// - a device (con, prn, aux, nul, com0 to com9, lpt0 to lpt9), also with an
//   extension ("nul.txt"): the group file would go to the device;
// - a program or script by its extension (.exe, .com, .bat, .cmd, .vbs,
//   .js, .ps1, ...): cmd.exe looks in the current folder first, and the
//   batch files run in the program folder, where the group file is written,
//   so "attrib.bat" would replace attrib for them.
bool IsWindowsSpecialName(std::string_view name);

}  // namespace toolkit
