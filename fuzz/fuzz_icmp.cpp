// The ICMP reply readers on any packet: the first four bytes also serve as
// the address the socket reported. An answer names the request it is about;
// a message carrying its own checksum sums to zero.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "check.h"
#include "platform/icmp_packet.h"

namespace icmp = toolkit::platform::icmp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const icmp::Bytes packet(data, size);
    std::uint32_t peer = 0;
    std::memcpy(&peer, data, size < sizeof peer ? size : sizeof peer);

    if (icmp::ReadRawPacket(packet)) {
        // An IPv4 packet carrying ICMP, whose message is whole (its checksum holds).
        const std::size_t headerSize = static_cast<std::size_t>(data[0] & 0x0f) * 4;
        FUZZ_CHECK((data[0] >> 4) == 4 && data[9] == icmp::kIpProtocolIcmp);
        FUZZ_CHECK(size >= headerSize + icmp::kHeaderSize);
        FUZZ_CHECK(icmp::Checksum(packet.subspan(headerSize)) == 0);
    }
    if (const auto answer = icmp::ReadEchoReply(packet, peer)) {
        FUZZ_CHECK(answer->destination == peer && data[0] == icmp::kEchoReply);
    }
    if (const auto answer = icmp::ReadQuotedRequest(packet, peer)) {
        FUZZ_CHECK(answer->destination == peer && data[0] == icmp::kEchoRequest);
    }

    std::vector<std::uint8_t> summed(data, data + size);
    if (summed.size() % 2 != 0) summed.push_back(0);
    const std::uint16_t checksum = icmp::Checksum(summed);
    summed.push_back(static_cast<std::uint8_t>(checksum >> 8));
    summed.push_back(static_cast<std::uint8_t>(checksum & 0xff));
    FUZZ_CHECK(icmp::Checksum(summed) == 0);
    return 0;
}
