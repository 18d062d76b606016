// Names that become file names in Korvane's folder (an entry's group file).
#pragma once

#include <string_view>

namespace korvane {

// ASCII letters, digits, ".", "-" and "_", not empty, not starting with "-"
// (it would read as an option) or "." (hidden, or a way out of the folder),
// at most 255 bytes (the longest file name).
bool IsValidEntryName(std::string_view name);

}  // namespace korvane
