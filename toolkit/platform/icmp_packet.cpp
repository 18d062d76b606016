#include "platform/icmp_packet.h"

#include <cstring>

namespace toolkit::platform::icmp {
namespace {

constexpr std::size_t kIpProtocolOffset = 9;
constexpr std::size_t kIpSourceOffset = 12;
constexpr std::size_t kIpDestinationOffset = 16;
constexpr std::uint8_t kIpVersion4 = 4;

std::uint16_t Read16(Bytes bytes, std::size_t offset) {
    return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

std::uint32_t ReadAddress(Bytes bytes, std::size_t offset) {
    std::uint32_t address = 0;
    std::memcpy(&address, bytes.data() + offset, sizeof address);  // stays in network order
    return address;
}

// Length of the IPv4 header that starts `packet`, when it is one carrying ICMP
// and at least an ICMP header follows it.
std::optional<std::size_t> IcmpOffset(Bytes packet) {
    if (packet.size() < kMinIpHeaderSize || (packet[0] >> 4) != kIpVersion4) return std::nullopt;
    const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0f) * 4;
    if (headerSize < kMinIpHeaderSize || packet.size() < headerSize + kHeaderSize) {
        return std::nullopt;
    }
    if (packet[kIpProtocolOffset] != kIpProtocolIcmp) return std::nullopt;
    return headerSize;
}

EchoAnswer AnswerFrom(Bytes icmpHeader, std::uint32_t destination) {
    return {Read16(icmpHeader, 4), Read16(icmpHeader, 6), destination};
}

// The quoted datagram inside an error: its IP header, then its first 8 bytes.
std::optional<EchoAnswer> ReadQuotedPacket(Bytes quoted) {
    const auto offset = IcmpOffset(quoted);
    if (!offset) return std::nullopt;
    const Bytes request = quoted.subspan(*offset);
    if (request[0] != kEchoRequest) return std::nullopt;
    return AnswerFrom(request, ReadAddress(quoted, kIpDestinationOffset));
}

}  // namespace

std::uint16_t Checksum(Bytes bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) sum += Read16(bytes, i);
    if (bytes.size() % 2 != 0) sum += static_cast<std::uint32_t>(bytes.back()) << 8;
    while (sum > 0xffff) sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xffff);
}

EchoHeader EchoRequest(std::uint16_t identifier, std::uint16_t sequence) {
    EchoHeader header{kEchoRequest,
                      0,
                      0,
                      0,
                      static_cast<std::uint8_t>(identifier >> 8),
                      static_cast<std::uint8_t>(identifier & 0xff),
                      static_cast<std::uint8_t>(sequence >> 8),
                      static_cast<std::uint8_t>(sequence & 0xff)};
    const std::uint16_t checksum = Checksum(header);
    header[2] = static_cast<std::uint8_t>(checksum >> 8);
    header[3] = static_cast<std::uint8_t>(checksum & 0xff);
    return header;
}

bool ReportsOnRequest(std::uint8_t type) {
    return type == kDestinationUnreachable || type == kSourceQuench || type == kTimeExceeded ||
           type == kParameterProblem;
}

std::optional<EchoAnswer> ReadRawPacket(Bytes packet) {
    const auto offset = IcmpOffset(packet);
    if (!offset) return std::nullopt;
    const Bytes message = packet.subspan(*offset);
    // A raw socket also sees damaged packets that the ICMP layer drops later.
    if (Checksum(message) != 0) return std::nullopt;
    if (message[0] == kEchoReply) {
        return AnswerFrom(message, ReadAddress(packet, kIpSourceOffset));
    }
    if (!ReportsOnRequest(message[0])) return std::nullopt;
    return ReadQuotedPacket(message.subspan(kHeaderSize));
}

std::optional<EchoAnswer> ReadEchoReply(Bytes message, std::uint32_t source) {
    if (message.size() < kHeaderSize || message[0] != kEchoReply) return std::nullopt;
    return AnswerFrom(message, source);
}

std::optional<EchoAnswer> ReadQuotedRequest(Bytes quoted, std::uint32_t destination) {
    if (quoted.size() < kHeaderSize || quoted[0] != kEchoRequest) return std::nullopt;
    return AnswerFrom(quoted, destination);
}

}  // namespace toolkit::platform::icmp
