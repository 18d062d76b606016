// The kernel's IPv4 neighbour table, read through rtnetlink. Linux only;
// used by posix_neigh.cpp and posix_arp.cpp.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace toolkit::platform {

struct Neighbour {
    std::uint32_t address = 0;  // network order
    std::uint16_t state = 0;    // NUD_*
    std::optional<std::array<std::uint8_t, 6>> mac;
    // Since the host last proved it holds the address (the kernel's
    // "confirmed" time), to the kernel's clock tick.
    std::optional<std::chrono::milliseconds> confirmedAgo;
};

// Every IPv4 entry of this namespace; nullopt when the table cannot be read.
std::optional<std::vector<Neighbour>> DumpNeighbours();
// The number of entries past which the kernel refuses new ones.
std::size_t NeighbourLimit();
// An entry the kernel cannot reclaim now: being resolved, or in use.
bool HoldsRoom(const Neighbour& entry);
// An entry that knows the host's hardware address.
bool IsResolved(const Neighbour& entry);

}  // namespace toolkit::platform
