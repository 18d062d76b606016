// The reachability polling outside its window: the files of each slot, the
// text of the poll script and of the single-host check script (Windows form,
// exactly as the batch files are written there, and POSIX form), the poll list,
// the scanner schedule and the clean-up of the scratch folder at exit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools.h"
#include "utils.h"

namespace korvane {

using toolkit::Os;
using toolkit::TextList;
using toolkit::ToolPaths;

// The three files of a slot: "c:\N.mark", "c:\pingN.bat", "c:\pingN.txt" on
// Windows; the scratch folder and a ".sh" script on POSIX.
struct SlotFiles {
    std::string marker;
    std::string script;
    std::string result;
};
SlotFiles SlotFilesFor(Os os, const ToolPaths& paths, std::uint8_t slot);

// Two lines: hostping on the list `listName` (a bare name resolved in the
// program folder) writing the slot's result file, then the marker made
// writable again. Windows lines end CR LF, POSIX lines LF.
std::string PollScript(Os os, const ToolPaths& paths, std::string_view listName, std::uint8_t slot);

// A host may enter a check script only when it is made of ASCII letters,
// digits, ".", "-" and "_" (and is not empty and does not start with "-"):
// the Windows batch form has no safe quoting.
bool IsSafeHostWord(std::string_view host);

// Four lines: one echo request to `host` into the result file, the verdict
// line host "=down" or host "=up", then the marker made writable again.
// Nothing when the host is not a safe word.
std::optional<std::string> CheckScript(Os os, const ToolPaths& paths, std::string_view host,
                                       std::uint8_t slot);

// The command that runs a generated script detached.
std::string ScriptCommand(Os os, const std::string& scriptPath);
// The command that starts netsweep from the program folder.
std::string NetsweepCommand(Os os, const ToolPaths& paths);

// One line per managed entry, in order: its address from liste.ip, or the
// entry name itself when it has none.
TextList PollList(const TextList& managed, const TextList& ipList);

// Timer1 starts netsweep on the ticks whose counter is 1 modulo 9.
bool StartsScan(std::uint8_t scanTick);

// "N.mark", "pingN.bat", "pingN.sh", "pingN.txt" for N from 0 to 255 written
// without leading zeros.
bool IsSlotFileName(std::string_view name);

// Creates the marker empty when missing and makes it read-only. Throws FileError.
void ArmMarker(const std::string& path);
// True while the marker is read-only, and when its state cannot be read: the
// script is then taken as still running.
bool MarkerIsArmed(const std::string& path);

// Deletes every slot file of the scratch folder except read-only markers,
// whose scripts are still running; other files and hidden entries are left.
// Files that cannot be deleted stay; nothing is reported.
void CleanSlotFiles(const std::string& scratchDir);

}  // namespace korvane
