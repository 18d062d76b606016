#include "platform/arp_packet.h"

#include <algorithm>
#include <cstring>

namespace toolkit::platform::arp {
namespace {

constexpr std::uint8_t kEthernet = 1;
constexpr std::uint16_t kIpv4 = 0x0800;
constexpr std::uint16_t kRequestOperation = 1;
constexpr std::uint16_t kReplyOperation = 2;
constexpr std::size_t kSenderAddressAt = 14;

void PutU16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value & 0xff);
}

std::uint16_t U16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

}  // namespace

Packet Request(const MacAddress& senderMac, std::uint32_t senderAddress, std::uint32_t target) {
    Packet packet{};
    PutU16(&packet[0], kEthernet);
    PutU16(&packet[2], kIpv4);
    packet[4] = static_cast<std::uint8_t>(senderMac.size());
    packet[5] = sizeof target;
    PutU16(&packet[6], kRequestOperation);
    std::copy(senderMac.begin(), senderMac.end(), &packet[8]);
    std::memcpy(&packet[kSenderAddressAt], &senderAddress, sizeof senderAddress);
    // The target's hardware address (bytes 18 to 23) is what we ask: zeros.
    std::memcpy(&packet[24], &target, sizeof target);
    return packet;
}

std::optional<std::uint32_t> ReplySender(std::span<const std::uint8_t> packet) {
    if (packet.size() < kPacketSize || U16(packet, 0) != kEthernet || U16(packet, 2) != kIpv4 ||
        packet[4] != 6 || packet[5] != 4 || U16(packet, 6) != kReplyOperation) {
        return std::nullopt;
    }
    std::uint32_t sender = 0;
    std::memcpy(&sender, &packet[kSenderAddressAt], sizeof sender);
    return sender;
}

std::optional<std::size_t> LinkOf(const std::vector<Link>& links, std::uint32_t target) {
    for (std::size_t i = 0; i < links.size(); ++i) {
        const Link& link = links[i];
        if ((target & link.mask) != (link.address & link.mask)) continue;
        if (target == link.address || target == (link.address & link.mask) ||
            target == (link.address | ~link.mask)) {
            return std::nullopt;
        }
        return i;
    }
    return std::nullopt;
}

}  // namespace toolkit::platform::arp
