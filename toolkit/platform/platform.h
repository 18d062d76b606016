// The only place that calls the operating system. Each function has one
// implementation per platform (posix_*.cpp, win32_*.cpp), chosen by the
// build; nothing above this layer tests which platform it runs on.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace toolkit::platform {

// --- processes ---
// The captured start: hidden, in workDir, inherits the std streams, waited
// for. POSIX: /bin/sh -c line; Windows: cmd.exe /d /v:off /s /c "line", the
// system's cmd.exe by its full path. Returns the wait status or exit code,
// -1 when the shell could not start.
int RunShellAndWait(const std::string& line, const std::string& workDir);
// The detached start, not waited for, through the same shell. POSIX: in a
// new session, std streams on /dev/null; Windows: as WinExec, hidden, in a
// console of its own. False when the shell could not start.
bool StartShellDetached(const std::string& line);
// Shell "open", shown normally: a program (searched on PATH) with one
// argument (the document) in workDir, or a document or address with the
// desktop's default opener. The Windows shell's result code: 32 or more when
// started, below 32 when not (2: not found).
int ShellOpenProgram(const std::string& program, const std::string& argument,
                     const std::string& workDir);
int ShellOpenDocument(const std::string& target);
std::string ExecutableDir();  // folder of the running program, trailing "/"
// A program run with its arguments, no shell between (nothing in them is
// read as shell syntax), waited for; the program is searched on PATH. Its
// standard input is empty. The exit code, or -1 when it could not start;
// `output` (when given) gets what it wrote on its standard output and error,
// at most 64 KiB (POSIX; empty on Windows).
int RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                      std::string* output = nullptr);
// The user's logon entries (Windows: the values of the key
// HKCU\Software\Microsoft\Windows\CurrentVersion\Run, which the installer
// also writes). POSIX has
// none (a systemd user unit plays their part): nothing is read, and a write
// fails.
std::optional<std::string> UserLogonEntry(const std::string& name);
bool SetUserLogonEntry(const std::string& name, const std::string& command);
bool RemoveUserLogonEntry(const std::string& name);  // true when it is not there afterwards
// Who a process is: its id, and when it started as the system counts it, so
// that a later process given the id of one that ended is another process.
struct ProcessIdentity {
    std::uint64_t id = 0;
    std::uint64_t started = 0;
    bool operator==(const ProcessIdentity&) const = default;
};
ProcessIdentity ThisProcess();
// False once the process has ended (its id free, or given to a later
// process); true while it runs, and when the system cannot tell.
bool ProcessRuns(const ProcessIdentity& process);
// The program folder of a program installed in `installedDir`. An installed
// folder that holds the file kPerUserMarker is read-only and shared: each user
// then gets their own folder, $XDG_DATA_HOME/korvane/ (when that variable is
// an absolute path), else $HOME/.local/share/korvane/, made mode 0700 when
// missing, with a link to every file of the installed folder, so that the
// programs and the bitmaps are found beside the user's files. Links are
// added or re-pointed at each call, so an upgrade that adds a program is
// found at the next start; a user's own file of the same name is never
// touched. Without the marker (a build folder, an installation made as one
// folder) `installedDir` itself is the program folder. Trailing "/". On
// Windows always `installedDir`, by its short form when the batch files
// could not name it otherwise (NameForBatchFiles).
inline constexpr const char* kPerUserMarker = "par-utilisateur";
std::string UserProgramDir(const std::string& installedDir);

// --- files ---
// The whole content of a regular file of at most maxBytes. A FIFO, a device
// or a folder is refused at once, never waited on. Throws FileError.
std::string ReadRegularFile(const std::string& path, std::size_t maxBytes);
// Up to maxBytes of a regular file from byte `offset` on, fewer when it ends
// sooner: the start of a journal, or its end, without reading it whole.
// Refused as ReadRegularFile refuses. Throws FileError.
std::string ReadFilePart(const std::string& path, std::uint64_t offset, std::size_t maxBytes);
// What tells one version of a file from the next: its size, its last write
// and its identity (a file replaced by a rename is another file, whatever
// its size and time).
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds since 1970 on POSIX; file time units on Windows
    std::uint64_t identity = 0;
    bool operator==(const FileStamp&) const = default;
};
// The path itself examined (a link is not followed); nullopt when nothing is
// there or it cannot be examined.
std::optional<FileStamp> StampOf(const std::string& path);
// Atomic replacement of a whole file (temporary file + rename). A destination
// that exists and is not a regular file (a link, a device, a FIFO) is refused
// and left as it is. Throws FileError.
void ReplaceFile(const std::string& path, const std::string& bytes);
// The same for a file of secrets (the access settings, a TLS key): readable
// and writable by its owner only from its first byte on (POSIX mode 0600; on
// Windows the user's program folder is private to the user already).
void ReplacePrivateFile(const std::string& path, const std::string& bytes);
// Several files replaced as one set: every destination is checked and every
// temporary written and flushed before the first rename, so a full disk or a
// refused destination keeps all the old files. Only a failure of the renames
// themselves (same folder, already checked) could leave the set mixed.
// Throws FileError.
void ReplaceFiles(const std::vector<std::pair<std::string, std::string>>& files);
// Deletes the temporaries that ReplaceFile left in `folder` when their writer
// died before its rename; those of a process still running stay. Returns how
// many went.
int RemoveStaleTemporaries(const std::string& folder);
// A fresh path beside `path` for a temporary of this process, named as
// ReplaceFile names its own (".NAME.tmp-PID-N"): no other process, nor any
// other call of this one, is given it while this process runs, and
// RemoveStaleTemporaries removes what is left of it once this process has
// ended.
std::string TemporaryPathFor(const std::string& path);
// Writes a whole file in place: no temporary, no flush to the disk, for a
// trace rewritten often that nobody needs whole. Refuses anything but a
// regular file (a link, a FIFO, a device). Throws FileError.
void WriteFileInPlace(const std::string& path, const std::string& bytes);
// Creates the private scratch folder (mode 0700), or checks an existing one,
// which is never changed. Throws ScratchError.
std::string PrepareScratchDir();
// The read-only attribute of the Windows files is the owner's write bit here.
// IsReadOnly: nullopt when the file cannot be examined.
std::optional<bool> IsReadOnly(const std::string& path);
// Leaves the file readable by all and writable by none (mode 0444).
bool SetReadOnly(const std::string& path);
// Names of the folder's entries, without the hidden ones (leading "."); empty
// when the folder cannot be read.
std::vector<std::string> ListFolder(const std::string& dir);
// Deletes a file (never a folder); false when it is still there or was missing.
bool RemoveFile(const std::string& path);
// Creates a folder of ours, private as the scratch folder is (POSIX mode
// 0700; on Windows the rules of its parent), unless one is there already.
// Returns 0 when the path then names a folder (not a link to one), else the
// reason (errno).
int MakeFolder(const std::string& path);
// Deletes a folder when it is empty; false when it is still there.
bool RemoveEmptyFolder(const std::string& path);
// Deletes a folder with the files directly in it, hidden and read-only ones
// included. A link is never followed: one in the folder goes as a link, and
// a path that is itself a link, or not a folder, is left alone. False when
// the folder is still there (it held a sub-folder, or a file would not go).
bool RemoveFolderWithFiles(const std::string& path);
// True when the path names an existing entry that is not a folder.
bool FileExists(const std::string& path);
// What a file is and who may read it, the path itself examined (a link is
// not followed). nullopt when it does not exist or cannot be examined.
struct FileStatus {
    bool regular = false;         // a plain file, not a link, folder or device
    bool ownedByUs = false;       // belongs to the user running this program
    bool privateToOwner = false;  // no one but its owner may read or write it (on
                                  // Windows: its owner, the system, the administrators)
    bool ownerMayRead = false;    // its mode lets its owner read it
};
std::optional<FileStatus> StatusOf(const std::string& path);
// Renames a file, never over an existing one. Returns 0, or the reason (errno).
int MoveFileNoReplace(const std::string& from, const std::string& to);

// A run marker that only one process holds at a time. The marker file is
// created exclusively and stays locked while its run goes on; the lock ends
// with the process, however it ends. A marker that no process holds was left
// by a run that ended without removing it: `stillBlocks`, given its last-write
// time, says whether it still keeps new runs away; otherwise it is taken over
// and its time renewed. Returns the handle of the taken marker, or nullopt
// when another run holds it or a left marker still blocks. A marker that is
// not a regular file (a folder, a link, a FIFO) is never obeyed nor touched:
// throws FileError.
std::optional<int> ClaimRunMarker(
    const std::string& path,
    const std::function<bool(std::chrono::system_clock::time_point)>& stillBlocks);
// Ends the claim: deletes the marker when `remove` and the path still names
// the file claimed, then releases it. False when it had to be deleted and is
// still there.
bool ReleaseRunMarker(int handle, const std::string& path, bool remove);
// --- requests to end ---
// Takes over the requests to end the program: SIGTERM and SIGINT on POSIX
// (a desktop logout, Ctrl+C); the console's control events on Windows (Ctrl+C,
// the console closed, the end of the session). Each only sets a flag and wakes
// the waiters below, so that the program ends as its own "Quitter" does.
// Called first of all, so that no moment of the start is left to the default
// action, which would end the program without saving its settings.
void CatchQuitRequests();
bool QuitRequested();
// Waits at most `ms` for a request; true when one has come (now or before).
// Returns early, false, after WakeQuitWait.
bool WaitForQuitRequest(int ms);
// Ends the current or next WaitForQuitRequest early, with no request: a
// window-free loop has work handed to it by another thread. Safe from any
// thread.
void WakeQuitWait();
// A descriptor that becomes readable at each request, for a window's event
// loop to watch; -1 where there is none (Windows, or before CatchQuitRequests).
int QuitRequestDescriptor();
// Empties that descriptor, so that it waits for the next request.
void DrainQuitRequests();

// --- the terminal ---
// One line of standard input, a secret: on a terminal (a console on Windows)
// `prompt` is written on the standard error and the line is not echoed;
// otherwise (a pipe, a file: a script setting Korvane up) the line is read as
// it comes, with no prompt. The line's end is not kept; nullopt at the end of
// the input.
std::optional<std::string> ReadSecretLine(const std::string& prompt);
bool InputIsTerminal();

// --- text ---
// Who wrote a text file that is read back: a list (Korvane, netsweep, an
// editor, an older tool), or a console command or batch file through a
// redirection.
enum class TextOrigin { List, ConsoleOutput };
// The line as UTF-8. On Windows a line that is not UTF-8 was written in a
// code page of the system, the ANSI one for a list and the console's (OEM)
// one for an output, and is converted from it; POSIX keeps it as it is.
std::string LineAsUtf8(std::string line, TextOrigin origin);
// The bytes that hold `text` (UTF-8) in the file `path`: on Windows a batch
// file (".bat", ".cmd") is written in the console's code page, in which
// cmd.exe reads it; anything else, and everything on POSIX, as it is. Throws
// FileError naming the file when the code page lacks one of its characters.
std::string FileBytesFor(const std::string& path, std::string_view text);
// The first character of `text` that a batch file cannot hold (on Windows,
// one the console's code page lacks), for a message; empty when there is
// none, and always on POSIX.
std::string BatchMissingCharacter(std::string_view text);

// --- console ---
// The program's arguments as UTF-8: on Windows from its wide command line,
// which the ANSI code page could not always hold; on POSIX as given.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// From now on, the UTF-8 text written to std::cout and std::cerr reaches a
// Windows console through its wide calls, whatever its code page; written
// to a file or a pipe, and on POSIX, it stays UTF-8.
void UseUnicodeConsole();

// --- errors ---
// The symbolic name of an errno value ("EPIPE"), or nullptr where the C
// library cannot tell it.
const char* SystemErrorName(int error);

// --- clock ---
// The broken-down local time of `when`, in the user's time zone.
std::tm LocalTime(std::time_t when);

// --- names and addresses ---
// Forward look-up, first IPv4 address (network order bytes).
std::optional<std::uint32_t> ResolveIPv4(const std::string& name);
struct HostEntry {
    std::string name;
    std::vector<std::string> aliases;
};
std::optional<HostEntry> ReverseLookup(std::uint32_t addressNetworkOrder);
struct AddressRow {
    std::uint32_t address;  // network order
    std::uint32_t mask;     // network order
};
std::vector<AddressRow> LocalAddressRows();
// This computer's own name (its host name; on Windows its NetBIOS name);
// empty when it cannot be told.
std::string LocalHostName();

// The kernel's IPv4 neighbour table: the entries it cannot reclaim now
// (being resolved, or in use), and the number past which it refuses new ones.
struct NeighbourLoad {
    std::size_t held = 0;
    std::size_t limit = 0;
};
// nullopt when the table cannot be read.
std::optional<NeighbourLoad> ReadNeighbourLoad();

// One row of the table: an address and the hardware address of the host that
// holds it on the local link.
struct NeighbourRow {
    std::uint32_t address = 0;  // network order
    std::array<std::uint8_t, 6> mac{};
    bool resolved = false;  // the table knows `mac` (it may be old, see confirmedAgo)
    // How long ago the host last proved it holds the address (answered ARP),
    // where the system tells; nullopt where it does not.
    std::optional<std::chrono::milliseconds> confirmedAgo;
};
// Every IPv4 row, in the table's order; nullopt when it cannot be read.
std::optional<std::vector<NeighbourRow>> NeighbourTable();
// Asks ARP, from this process, who holds each address of the local link, and
// waits a little for the answers (which the system's table also takes in).
// True per address that answered; all false where the process may not ask
// (POSIX: no packet socket without root or cap_net_raw), and for addresses
// off the link.
std::vector<bool> ArpAnswers(const std::vector<std::uint32_t>& addressesNetworkOrder);
// The same requests, not waited for: the system's table takes the answers in
// on its own, within a round trip.
void SendArpRequests(const std::vector<std::uint32_t>& addressesNetworkOrder);

// --- datagrams ---
// Sends one UDP datagram to the address and port, broadcast addresses
// allowed. Returns 0, or the reason of the failure (errno).
int SendUdpDatagram(std::uint32_t addressNetworkOrder, std::uint16_t port,
                    const std::vector<std::uint8_t>& payload);
// A UDP socket for questions asked on the LAN and their answers: broadcast
// allowed, bound to no port in particular. -1 when none can be opened.
int OpenUdpSocket();
void CloseUdpSocket(int socket);
// Returns 0, or the reason of the failure (errno).
int SendUdpFrom(int socket, std::uint32_t addressNetworkOrder, std::uint16_t port,
                const std::vector<std::uint8_t>& payload);
struct ReceivedDatagram {
    std::uint32_t source = 0;  // network order
    std::uint16_t port = 0;
    std::vector<std::uint8_t> payload;
};
// The next datagram, waiting at most timeoutMs for one; nullopt when none came.
std::optional<ReceivedDatagram> ReceiveUdp(int socket, int timeoutMs);

// --- ICMP ---
// Whether this process may open an ICMP socket at all: a datagram one
// (net.ipv4.ping_group_range admits its group) or a raw one (root, or the
// cap_net_raw capability). Without one, every probe answers "no".
bool IcmpSocketAvailable();
// Sends one echo request (no data) to each address and reports, per address,
// whether a reply or an ICMP error about that request came back within
// `timeoutMs` of its own sending. Address 0 is never sent and is false.
// All false when no ICMP socket can be opened.
std::vector<bool> EchoProbe(const std::vector<std::uint32_t>& addressesNetworkOrder, int timeoutMs);

// What a poll asks of a host that one echo request may miss. Every delay
// counts from the host's first request, inside its own window; a negative
// one means none.
struct ReachPlan {
    int timeoutMs = 0;         // the window: no verdict of "on" after it
    int secondRequestMs = -1;  // a second echo request to a host still silent
    int tcpAfterMs = -1;       // TCP connections to each of `tcpPorts` of a host still silent
    std::vector<std::uint16_t> tcpPorts;
};
// As EchoProbe, with the plan's follow-ups: a host is on when it answered
// either request (or an error report came from another machine about one),
// or accepted or refused (reset) one of the connections, within its window.
std::vector<bool> ReachProbe(const std::vector<std::uint32_t>& addressesNetworkOrder,
                             const ReachPlan& plan);

}  // namespace toolkit::platform
