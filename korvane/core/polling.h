// The reachability polling outside its window: the files of each slot, the
// text of the poll script and of the single-host check script (Windows form,
// exactly as the batch files are written there, and POSIX form), the poll list,
// the scanner schedule and the clean-up of the scratch folder at exit.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "tools.h"
#include "utils.h"

namespace korvane {

using toolkit::Os;
using toolkit::TextList;
using toolkit::ToolPaths;

// The files of a slot, in the folder `paths.scratchDir` (SlotPaths):
// "N.mark", "pingN.bat", "pingN.txt" on Windows; a ".sh" script on POSIX,
// where the poll script also keeps hostping's error output in "pingN.err".
// The Windows batch files name them as one word each (toolkit::BatchPath).
struct SlotFiles {
    std::string marker;
    std::string script;
    std::string result;
    std::string errors;
    std::string list;  // the check's one-line host list
};
SlotFiles SlotFilesFor(Os os, const ToolPaths& paths, std::uint8_t slot);

// Each Korvane keeps its slots in a folder of its own inside the scratch
// folder, named after its process: "p" id "-" start time ("p4242-981735").
// Two Korvanes of one user at the same time (a window beside
// "--planificateur") each number their slots from 0; in one folder they
// would take each other's results and delete each other's files. The start
// time tells the folder of a process that ended from that of a later one
// given the same id.
std::string ProcessFolderName(const toolkit::platform::ProcessIdentity& process);
// The process whose folder this name is; nothing for any other name.
std::optional<toolkit::platform::ProcessIdentity> ProcessOfFolder(std::string_view name);
// The program folder, and this process's own slot folder in the scratch
// folder, made when missing. Throws ScratchError.
ToolPaths SlotPaths();

// Two lines: hostping on the list `listName` (a bare name resolved in the
// program folder) writing the slot's result file (on POSIX its error output
// to the slot's error file), then the marker made writable again. Windows
// lines end CR LF, POSIX lines LF.
std::string PollScript(Os os, const ToolPaths& paths, std::string_view listName, std::uint8_t slot);

// A host may enter a check script only when it is made of ASCII letters,
// digits, ".", "-" and "_" (and is not empty and does not start with "-"):
// the Windows batch form has no safe quoting.
bool IsSafeHostWord(std::string_view host);

// How many probes a check makes of a member found off before its verdict:
// one lost answer must not become an incident.
inline constexpr int kCheckRounds = 3;

// Three lines: `target` (the member's address, or its name when it has none)
// written to the slot's one-line list (pingN.lst); hostping on that list,
// probing as the poll probes, up to kCheckRounds times while the member is
// off, writing into the result file the line target "=1" when it is on and
// last the verdict line host "=up" or host "=down" (none when hostping itself
// fails); then the marker made writable again. Windows lines end CR LF,
// POSIX lines LF. Nothing when the target is not a safe word, or the host
// cannot be quoted in the script.
std::optional<std::string> CheckScript(Os os, const ToolPaths& paths, std::string_view host,
                                       std::string_view target, std::uint8_t slot);

// The command that runs a generated script detached.
std::string ScriptCommand(Os os, const std::string& scriptPath);
// The command that starts netsweep from the program folder.
std::string NetsweepCommand(Os os, const ToolPaths& paths);

// One line per managed entry, in order: its address from liste.ip, or the
// entry name itself when it has none; without surrounding blanks, as hostping
// answers it.
TextList PollList(const TextList& managed, const TextList& ipList);

// The states of the previous poll, "etats" of the program folder; an
// unreadable or missing file leaves every entry down.
TextList LoadStateFile();

// Timer1 starts netsweep on the ticks whose counter is 1 modulo 9.
bool StartsScan(std::uint8_t scanTick);

// "N.mark", "pingN.bat", "pingN.sh", "pingN.txt", "pingN.err", "pingN.lst" for N from 0
// to 255 written without leading zeros.
bool IsSlotFileName(std::string_view name);

// Creates the marker empty when missing and makes it read-only. Throws FileError.
void ArmMarker(const std::string& path);
// True while the marker is read-only, and when its state cannot be read: the
// script is then taken as still running.
bool MarkerIsArmed(const std::string& path);
// The files of this machine's slot once its script has ended (its marker
// writable); nullopt while it runs, and when the scratch folder cannot be
// used, so that the request waits for a later tick.
std::optional<SlotFiles> FinishedSlot(std::uint8_t slot);

// Deletes every slot file of the folder except read-only markers, whose
// scripts are still running; other files and hidden entries are left.
// Files that cannot be deleted stay; nothing is reported.
void CleanSlotFiles(const std::string& slotDir);
// At the exit: this process's slot files, as CleanSlotFiles deletes them,
// and its slot folder once empty. A marker still armed keeps the folder
// until a later start finds this process gone.
void CleanOwnSlotFiles();
// What earlier runs left in the scratch folder goes when this run first
// prepares it: the slot folders of processes that ended (however they
// ended, read-only markers included), this process's own slot files, slot
// files of the layout before slot folders, and the temporaries of writers
// that died. The slot folders of Korvanes still running are left alone.
void RemoveEarlierRunFiles(const std::string& scratchDir);

// hostping's reason for writing no result, for the status bar: the first
// line of its error output that holds text, control characters made blanks,
// at most kMaxReasonLength bytes (whole UTF-8 characters). Empty when the
// output holds none. A complaint of the shell that ran the slot's `script`
// ("/…/ping7.sh: 1: hostping: not found") is kept without the script's name
// and line, so that one failure reads the same from every slot and is told
// once.
inline constexpr std::size_t kMaxReasonLength = 200;
std::string ProbeFailureReason(std::string_view errorOutput, std::string_view script = {});
// The same, from the slot's error file; empty when it is missing.
std::string ProbeFailureReasonIn(const std::string& errorFile, std::string_view script = {});

// What went wrong in the polling, told once per cause rather than at every
// 10-second tick: a cause is reported when it appears or its message changes,
// and again only after it has been over once.
class PollProblems {
  public:
    // True when `message` is news and must be shown.
    bool Raise(const std::string& cause, const std::string& message);
    // The cause is over; gives the message that was shown for it, if any.
    std::optional<std::string> Clear(const std::string& cause);

  private:
    std::map<std::string, std::string> active_;
};

}  // namespace korvane
