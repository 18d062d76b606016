// The only place that calls the operating system. Each function has one
// implementation per platform (posix_*.cpp now, win32_*.cpp later); nothing
// above this layer tests which platform it runs on.
#pragma once

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
// Atomic replacement of a whole file (temporary file + rename). Throws FileError.
void ReplaceFile(const std::string& path, const std::string& bytes);
// Creates or checks the private scratch folder; throws ScratchError.
std::string PrepareScratchDir();

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

// --- ICMP ---
// Sends one echo request (no data) to each address and reports, per address,
// whether a reply or an ICMP error about that request came back within
// `timeoutMs` of its own sending. Address 0 is never sent and is false.
// All false when no ICMP socket can be opened.
std::vector<bool> EchoProbe(const std::vector<std::uint32_t>& addressesNetworkOrder, int timeoutMs);

}  // namespace toolkit::platform
