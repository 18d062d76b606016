// The contract with outside programs: the three ways of starting them, where
// their work files go, and the command line of each captured command, in its
// Windows form and its POSIX form.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace toolkit {

enum class Os { Windows, Posix };
#ifdef _WIN32
inline constexpr Os kHostOs = Os::Windows;
#else
inline constexpr Os kHostOs = Os::Posix;
#endif

// The scratch folder cannot be used: it is a link, not ours, not private, a
// relative path, or not creatable.
class ScratchError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The program folder, with a trailing separator: the folder of the running
// program's file, or the user's own folder when the program is installed for
// several users (platform::UserProgramDir). Tests and tools living elsewhere
// may point it at another folder.
std::string ProgramDir();
void SetProgramDir(std::string dir);

// The folder for work files. On POSIX: $KORVANE_SCRATCH, else
// $XDG_RUNTIME_DIR/korvane, else /tmp/korvane-<uid>; created mode 0700 when
// missing. On Windows: %KORVANE_SCRATCH%, else %LOCALAPPDATA%\Korvane\travail,
// created (with its parents) with access for the user, the system and the
// administrators only. Never changed when it exists, and refused when it is
// a link, belongs to someone else or is open to others, and when
// KORVANE_SCRATCH is not an absolute path (on Windows also when it holds a
// "%", which the batch files cannot carry).
// Ends with a separator. Throws ScratchError with a French message.
std::string ScratchDir();

// Where each form finds the programs and the work files.
struct ToolPaths {
    std::string programDir;  // with trailing separator
    std::string scratchDir;  // with trailing separator
};
ToolPaths HostToolPaths();  // ProgramDir() and ScratchDir()

// A captured command: the line given to RunAndWait and the file it writes.
// Each command made names a file of its own in the scratch folder, given to
// no other process and no other command of this one: the listing's name
// (ipconfig.txt, nbtstat.txt, nbtcache.txt, arpcache.txt) in the shape of a
// temporary of this process, ".ipconfig.txt.tmp-PID-N", which
// platform::RemoveStaleTemporaries removes once the process is gone.
// RunCaptured (reseau.h) runs the line and removes the file once read.
struct CapturedCommand {
    std::string line;
    std::string outputFile;
};

// A work file of the scratch folder.
std::string ScratchFile(Os os, const ToolPaths& paths, std::string_view name);

// A path as one word of a command line that cmd.exe runs: as it is, or in
// double quotes when it holds a blank or a character cmd.exe treats apart.
std::string CmdPath(std::string_view path);
// The same in a batch file, which also reads "%%" as one "%".
std::string BatchPath(std::string_view path);
// "%" doubled, as a batch file reads one.
std::string DoublePercents(std::string_view text);
// A program of Windows' system folder (attrib.exe, shutdown.exe, sc.exe,
// ipconfig.exe...) as the first word of a line that cmd.exe runs, a batch
// file's or a captured command's: by its full path, which cmd.exe completes
// from %SystemRoot%. Named bare, cmd.exe would first look in the current
// folder (the program folder), where an entry's group file named like the
// tool would run in its place.
std::string WindowsSystemTool(std::string_view program);
// A program of the program folder (hostping.exe, wolcmd.exe) as the first
// word of a batch file's line: its full path in double quotes, each "%" of
// the folder doubled.
std::string BatchProgram(const ToolPaths& paths, std::string_view program);

CapturedCommand IpConfigCommand(Os os, const ToolPaths& paths);
// Throws std::invalid_argument when `address` is not a dotted IPv4 text, so
// that text from the network never reaches a shell unchecked.
CapturedCommand NbtstatCommand(Os os, const ToolPaths& paths, std::string_view address);
// The name tables of several addresses in one command, where the platform
// has one: netcmd takes a list and prints one "nbtstat -a" listing per
// address, in order, each starting with its adapter header. nullopt on
// Windows, whose nbtstat takes one address: NbtstatCommand for each, then.
// Throws std::invalid_argument as NbtstatCommand does.
std::optional<CapturedCommand> NbtstatListCommand(Os os, const ToolPaths& paths,
                                                  const std::vector<std::string>& addresses);
CapturedCommand NbtCacheCommand(Os os, const ToolPaths& paths);
CapturedCommand ArpCommand(Os os, const ToolPaths& paths);

// Quotes a word for /bin/sh: it reaches the program unchanged, whatever it holds.
std::string ShellQuote(std::string_view word);

// Detached start: the line runs through the shell in its own session, standard
// streams on /dev/null, never waited for, leaving no zombie. False when the
// process could not be created.
bool StartDetached(const std::string& commandLine);

// Shell open of a program with one argument (the document), shown normally,
// in `workDir`. Returns a code that is 32 or more when the program started
// and below 32 when it did not (2: not found), as the Windows shell does.
int ShellOpenProgram(const std::string& program, const std::string& argument,
                     const std::string& workDir);
// Shell open of a document or an address with the desktop's default opener.
int ShellOpenDocument(const std::string& target);

}  // namespace toolkit
