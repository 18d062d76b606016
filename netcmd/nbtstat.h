// "nbtstat -a ADDR" and "nbtstat -c": a host's NetBIOS name table and the
// names learned from such answers in the last ten minutes. The listings are
// read back by looking for "UNIQUE" and the text before "<", so every name
// that came from the network is sanitised before it is printed or kept.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nbns.h"
#include "utils.h"

namespace netcmd {

// How long a learned name stays in the cache.
inline constexpr std::int64_t kCacheLifetimeSeconds = 600;
inline constexpr const char* kCacheFileName = "netbios-cache.txt";

// Trailing padding spaces removed, then every byte outside '!'..'~', and
// '<' and '>', replaced by '_'; the word "UNIQUE" is broken up ("UNIQU_").
std::string SanitizeNetbiosName(std::string_view raw);

// The adapter lines that start both listings.
toolkit::TextList FormatNodeHeader(std::string_view adapterName, std::string_view localAddress);
// The remote name table and the hardware address of an answer.
toolkit::TextList FormatNodeStatus(const NodeStatus& status);

struct CacheEntry {
    std::int64_t time = 0;  // seconds since the epoch, when learned
    std::string address;    // dotted
    std::uint8_t suffix = 0;
    bool group = false;
    std::string name;  // sanitised
};

// One cache file line "<epoch> <addr> <hex suffix> <U|G> <name>"; nullopt
// for a line that is not exactly that.
std::optional<CacheEntry> ParseCacheLine(std::string_view line);
std::string FormatCacheLine(const CacheEntry& entry);

// The entries of the file's lines that are well formed and still alive at `now`.
std::vector<CacheEntry> LiveCacheEntries(const toolkit::TextList& lines, std::int64_t now);
// The cache after an answer from `address`: that address's old names are
// replaced by the answer's.
std::vector<CacheEntry> MergeAnswer(std::vector<CacheEntry> cache, const std::string& address,
                                    const NodeStatus& status, std::int64_t now);
toolkit::TextList FormatCacheLines(const std::vector<CacheEntry>& cache);

// The cache table with each name's remaining lifetime at `now`.
toolkit::TextList FormatCacheTable(const std::vector<CacheEntry>& cache, std::int64_t now);

// --- on this machine ---

struct NodeStatusAnswer {
    std::string adapterName;               // the interface the query left by
    std::string localAddress = "0.0.0.0";  // its address
    std::optional<NodeStatus> status;      // nullopt: nobody answered
    std::string error;                     // French, when the query could not be sent at all
};
// Asks `address` (dotted) for its name table over UDP port 137.
NodeStatusAnswer QueryNodeStatus(const std::string& address);
// Asks every address (dotted) at once: the whole list costs what one silent
// address costs, however many silent addresses of the link it holds (their
// queries wait in the kernel for ARP, so the batch moves to another socket
// when one's send buffer is full, and skips addresses whose neighbour entry
// has just failed). Answers in the order of the list.
std::vector<NodeStatusAnswer> QueryNodeStatusMany(const std::vector<std::string>& addresses);

// The adapter shown above the cache table: the first connected one.
NodeStatusAnswer PrimaryAdapter();

// The cache file in the scratch folder. Loading a missing file gives an empty
// cache; both throw toolkit::FileError or toolkit::ScratchError.
std::vector<CacheEntry> LoadCache(std::int64_t now);
void SaveCache(const std::vector<CacheEntry>& cache);

}  // namespace netcmd
