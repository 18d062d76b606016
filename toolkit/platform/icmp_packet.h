// Building echo requests and reading what comes back, as pure byte work: no
// system call here, so every rule is tested without sending a packet.
// Addresses are 32-bit values holding the four bytes in network order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace toolkit::platform::icmp {

inline constexpr std::uint8_t kEchoReply = 0;
inline constexpr std::uint8_t kDestinationUnreachable = 3;
inline constexpr std::uint8_t kSourceQuench = 4;
inline constexpr std::uint8_t kEchoRequest = 8;
inline constexpr std::uint8_t kTimeExceeded = 11;
inline constexpr std::uint8_t kParameterProblem = 12;

inline constexpr std::uint8_t kIpProtocolIcmp = 1;
inline constexpr std::size_t kHeaderSize = 8;  // type, code, checksum, identifier, sequence
inline constexpr std::size_t kMinIpHeaderSize = 20;

using Bytes = std::span<const std::uint8_t>;
using EchoHeader = std::array<std::uint8_t, kHeaderSize>;

// The Internet checksum: ones' complement of the ones' complement sum of the
// 16-bit words. A message holding its own checksum sums to 0.
std::uint16_t Checksum(Bytes bytes);

// An echo request without data, checksum filled in.
EchoHeader EchoRequest(std::uint16_t identifier, std::uint16_t sequence);

// The error types that report the fate of one datagram we sent and quote its
// headers (unreachable, quench, time exceeded, parameter problem). A redirect
// is left out: the datagram was still forwarded, so it says nothing of the host.
bool ReportsOnRequest(std::uint8_t type);

// What an incoming message says about one of our echo requests.
struct EchoAnswer {
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
    std::uint32_t destination = 0;  // where the request had been sent
};

// A whole IP packet as a raw ICMP socket hands it over: an echo reply (its
// sender is the request's destination) or an error message quoting the IP and
// ICMP headers of an echo request. Anything else, or a damaged packet: none.
std::optional<EchoAnswer> ReadRawPacket(Bytes packet);

// An ICMP message from a datagram ICMP socket (the kernel strips the IP header
// and matches the identifier itself): an echo reply sent by `source`.
std::optional<EchoAnswer> ReadEchoReply(Bytes message, std::uint32_t source);

// The data of an error queued on a datagram ICMP socket: the header of the
// echo request it is about; the kernel reports the request's destination.
std::optional<EchoAnswer> ReadQuotedRequest(Bytes quoted, std::uint32_t destination);

}  // namespace toolkit::platform::icmp
