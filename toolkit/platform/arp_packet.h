// ARP requests and replies, and which link an address lies on, as pure byte
// and address work: no system call here, so the rules are tested without a
// network. Addresses are 32-bit values holding the four bytes in network order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace toolkit::platform::arp {

inline constexpr std::size_t kPacketSize = 28;  // Ethernet and IPv4 addresses
using MacAddress = std::array<std::uint8_t, 6>;
using Packet = std::array<std::uint8_t, kPacketSize>;

// "Who has `target`? Tell `senderAddress`": the payload of a broadcast frame.
Packet Request(const MacAddress& senderMac, std::uint32_t senderAddress, std::uint32_t target);

// The address that a reply answers for; nullopt for anything that is not an
// ARP reply about an IPv4 address over Ethernet.
std::optional<std::uint32_t> ReplySender(std::span<const std::uint8_t> packet);

// An interface's IPv4 address on a link that speaks ARP.
struct Link {
    int index = 0;  // interface index
    MacAddress mac{};
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
};

// The link whose network holds `target` (an index into `links`); nullopt when
// none does, and for a link's own address and its network's first and last
// address (the host itself, and what no single host answers for).
std::optional<std::size_t> LinkOf(const std::vector<Link>& links, std::uint32_t target);

}  // namespace toolkit::platform::arp
