// The machine list export (liste.machines) and the way Korvane's reports are
// opened for the user: in the spreadsheet, else with the desktop's opener.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tools.h"
#include "utils.h"

namespace korvane {

using toolkit::Os;
using toolkit::TextList;

inline constexpr const char* kMachineListFile = "liste.machines";

// "  Machine  ";"     Adresse MAC     ";"     Adresse IP    " (59 characters).
std::string MachineListHeader();
// "member";"mac";"ip", fields as they are, none escaped.
std::string MachineListRow(std::string_view member, std::string_view mac, std::string_view ip);

// The header, then one row per member of each entry's group file, entries in
// inventory order and members in file order, each with its own look-ups in
// liste.mac and liste.ip. `loadGroup` reads an entry's group file; an entry
// whose group file it cannot give (it throws FileError) is left out and
// named in `skipped` with the reason, and the others are exported.
using GroupLoader = std::function<TextList(const std::string& entry)>;
TextList MachineListLines(const TextList& managed, const GroupLoader& loadGroup,
                          const TextList& ipList, const TextList& macList,
                          std::vector<std::string>* skipped = nullptr);

// Which program a report was opened with.
enum class Opener { Spreadsheet, Fallback, None };
// Opens the file (a full path) in the spreadsheet (scalc.exe, localc), or,
// when that cannot start, with notepad.exe or the desktop's default opener.
Opener OpenReport(Os os, const std::string& path);

}  // namespace korvane
