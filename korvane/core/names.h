// Which texts may name a managed entry. An entry's name becomes part of file
// names (its group file, "powerup" + name, "shutdn" + name) and of script
// lines, so only names that are safe in both are accepted.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvane {

inline constexpr std::size_t kMaxEntryNameLength = 255;

// Letters of any script (valid UTF-8), digits, ".", "-" and "_"; not empty;
// not starting with "-" (an option to the programs it is passed to) or "."
// (".", "..", hidden files, the writers' temporaries); at most 255 bytes, the
// longest file name. Blanks (the lists split at the first one), path
// separators, control characters, invisible characters and punctuation are
// refused.
bool IsValidEntryName(std::string_view name);

// The rule above, as the refusals tell it.
inline constexpr const char* kEntryNameRule =
    "lettres (accentuées ou d'autres écritures comprises), chiffres, « . », « - » et « _ » "
    "seulement, sans « . » ni « - » au début";

// The files Korvane, netsweep, the poll script and the power commands keep in
// the program folder under fixed names (localGM, krv.ini, liste.ip,
// netsweep.lck, ...), the programs and the bitmaps: an entry named like one of
// them would get its group file written where they belong, or later
// overwritten by them; and the power scripts' names ("powerup" or "shutdn",
// any text, ".sh" or ".bat"), which another entry's command would overwrite.
// Letter case is ignored, as on the Windows file system.
bool IsReservedFileName(std::string_view name);

}  // namespace korvane
