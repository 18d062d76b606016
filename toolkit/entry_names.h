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
// refused.
bool IsValidEntryName(std::string_view name);
// The rule above, as the refusals tell it.
inline constexpr const char* kEntryNameRule =
    "lettres (accentuées ou d'autres écritures comprises), chiffres, « . », « - » et « _ » "
    "seulement, sans « . » ni « - » au début";

}  // namespace toolkit
