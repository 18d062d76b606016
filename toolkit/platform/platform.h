// The only place that calls the operating system. Each function has one
// implementation per platform (posix_*.cpp now, win32_*.cpp later); nothing
// above this layer tests which platform it runs on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace toolkit::platform {

// --- processes ---
// /bin/sh -c line in workDir, inherits the std streams, waited for.
int RunShellAndWait(const std::string& line, const std::string& workDir);
// /bin/sh -c line in a new session, std streams on /dev/null, not waited for.
bool StartShellDetached(const std::string& line);
// Starts `program` (searched on PATH) with one argument in workDir, detached;
// returns false when it cannot be started (not found, not executable).
bool SpawnProgram(const std::string& program, const std::string& argument,
                  const std::string& workDir);
std::string ExecutableDir();  // folder of the running program, trailing "/"

// --- files ---
// The whole content of a regular file of at most maxBytes. A FIFO, a device
// or a folder is refused at once, never waited on. Throws FileError.
std::string ReadRegularFile(const std::string& path, std::size_t maxBytes);
// Atomic replacement of a whole file (temporary file + rename). A destination
// that exists and is not a regular file (a link, a device, a FIFO) is refused
// and left as it is. Throws FileError.
void ReplaceFile(const std::string& path, const std::string& bytes);
// Deletes the temporaries that ReplaceFile left in `folder` when their writer
// died before its rename; those of a process still running stay. Returns how
// many went.
int RemoveStaleTemporaries(const std::string& folder);
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
// True when the path names an existing entry that is not a folder.
bool FileExists(const std::string& path);
// What a file is and who may read it, the path itself examined (a link is
// not followed). nullopt when it does not exist or cannot be examined.
struct FileStatus {
    bool regular = false;         // a plain file, not a link, folder or device
    bool ownedByUs = false;       // belongs to the user running this program
    bool privateToOwner = false;  // no one but its owner may read or write it
    bool ownerMayRead = false;    // its mode lets its owner read it
};
std::optional<FileStatus> StatusOf(const std::string& path);
// Renames a file, never over an existing one. Returns 0, or the reason (errno).
int MoveFileNoReplace(const std::string& from, const std::string& to);

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

// The kernel's IPv4 neighbour table: the entries it cannot reclaim now
// (being resolved, or in use), and the number past which it refuses new ones.
struct NeighbourLoad {
    std::size_t held = 0;
    std::size_t limit = 0;
};
// nullopt when the table cannot be read.
std::optional<NeighbourLoad> ReadNeighbourLoad();

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

}  // namespace toolkit::platform
