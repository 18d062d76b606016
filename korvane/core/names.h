// Which texts may name a managed entry: the toolkit's rule, which netsweep
// shares, and on top of it the names of Korvane's own files.
#pragma once

#include <string_view>

#include "entry_names.h"

namespace korvane {

using toolkit::EntryNameRule;
using toolkit::IsValidEntryName;
using toolkit::kEntryNameRule;
using toolkit::kMaxEntryNameLength;

// The files Korvane, netsweep, the poll script and the power commands keep in
// the program folder under fixed names (localGM, krv.ini, liste.ip,
// netsweep.lck, notifications.ini, ...), the marker of a per-user
// installation, the programs and the bitmaps: an entry named like one of
// them would get its group file written where they belong, or later
// overwritten by them; and the power scripts' names ("powerup", "shutdn",
// "restart" or "acces", any text, ".sh" or ".bat"), which another entry's
// command would overwrite.
// Letter case is ignored, as on the Windows file system.
bool IsReservedFileName(std::string_view name);

}  // namespace korvane
