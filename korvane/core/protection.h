// The computers Korvane never shuts down: a list of names in a file of the
// program folder. An entry is protected when its own name, or the name of any
// member of its group file, is on the list (letter case ignored, as names are
// everywhere in Korvane): shutting a group down shuts its members down.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "utils.h"

namespace korvane {

inline constexpr const char* kProtectedFile = "liste.protegees";

// The first protected name among `entry` and then its group's members, in
// that order, as the list writes it; nullopt when none is.
std::optional<std::string> ProtectedName(const toolkit::TextList& protectedList,
                                         std::string_view entry, const toolkit::TextList& members);

// The message and console line of a refused shutdown.
std::string ProtectedRefusal(std::string_view entry, std::string_view protectedName,
                             std::string_view start = "Arrêt de ");

// What typing a name in "Ne jamais éteindre..." means for the list.
enum class ProtectChange { Invalid, Add, OfferRemoval };
ProtectChange ClassifyProtect(const toolkit::TextList& protectedList, std::string_view name);
// The list with `name` added at its end, or without every line equal to it.
toolkit::TextList WithProtected(toolkit::TextList list, std::string_view name);
toolkit::TextList WithoutProtected(toolkit::TextList list, std::string_view name);

// The names of the program folder's list, each as ListName reads its line,
// blank lines left out; empty when the file does not exist. Throws FileError
// when it exists and cannot be read.
toolkit::TextList LoadProtected(const std::string& programDir);
// Replaces the file atomically. Throws FileError.
void SaveProtected(const std::string& programDir, const toolkit::TextList& list);

}  // namespace korvane
