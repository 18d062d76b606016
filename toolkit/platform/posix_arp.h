// A large sweep of the local link costs, for every address nobody holds, a
// neighbour-table entry that the kernel keeps for seconds while it tries to
// resolve it, so the echo requests must wait for room. ARP requests sent from
// a packet socket cost no entry: asked first, they tell which addresses hold
// a host, and only those get an echo request. The verdict stays the echo's.
// Linux only; used by posix_icmp.cpp.
#pragma once

#include <cstdint>
#include <vector>

namespace toolkit::platform {

// Per address: false for an address of the local link that did not answer
// ARP, true for any other (off the link, already resolved, or answering).
// Asks ARP only when the echo requests would not fit in the neighbour table
// at once and the process may open a packet socket; all true otherwise.
std::vector<bool> WorthAnEcho(const std::vector<std::uint32_t>& addressesNetworkOrder);

}  // namespace toolkit::platform
