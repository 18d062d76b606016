// The menu commands' rules outside their windows: the number of computers per
// row typed in the preferences, and renaming an entry.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "utils.h"

namespace korvane {

using toolkit::TextList;

// A whole number from 1 to kMaxEntriesPerRow; false for anything else (a lone
// "-", a word, 0, 33), which then changes nothing.
bool ParseEntriesPerRow(std::string_view text, int& value);

// Why entry `entry` of `managed` may not be renamed `newName`; empty when it
// may. The new name must be a valid entry name, not one of the program
// folder's own files, not another entry's name (letter case ignored), and no
// file of that name may exist in `programDir` (the group file is moved there).
std::string RenameProblem(const TextList& managed, std::size_t entry, std::string_view newName,
                          const std::string& programDir);

// Renames entry `entry` (RenameProblem must have passed): localGM is saved
// with the new name, then the entry's group file, when it has one, is moved
// to the new name. Throws FileError when localGM cannot be written; nothing
// has changed then. Returns why the group file could not be moved, or empty.
std::string RenameEntry(TextList& managed, std::size_t entry, const std::string& newName,
                        const std::string& programDir);

}  // namespace korvane
