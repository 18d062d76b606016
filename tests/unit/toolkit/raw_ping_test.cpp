// The echo probe's pure parts: address conversion without any look-up, the
// packets it builds and reads, and the book-keeping of a batch. Nothing here
// sends a packet: only address 0.0.0.0 reaches the probe, and it is never sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/echo_window.h"
#include "platform/icmp_packet.h"
#include "raw_ping.h"

namespace {

using toolkit::IPv4;
using toolkit::platform::EchoWindow;
namespace icmp = toolkit::platform::icmp;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

std::uint32_t Address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::uint8_t bytes[4] = {a, b, c, d};
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

void PutAddress(Bytes& packet, std::size_t offset, std::uint32_t address) {
    std::memcpy(packet.data() + offset, &address, sizeof address);
}

// An IPv4 header without options carrying `protocol`, followed by `payload`.
Bytes IpPacket(std::uint32_t source, std::uint32_t destination, const Bytes& payload,
               std::uint8_t protocol = icmp::kIpProtocolIcmp) {
    Bytes packet(20, 0);
    packet[0] = 0x45;
    packet[8] = 64;
    packet[9] = protocol;
    PutAddress(packet, 12, source);
    PutAddress(packet, 16, destination);
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

// An ICMP message with its checksum filled in.
Bytes IcmpMessage(std::uint8_t type, std::uint8_t code, Bytes rest) {
    Bytes message(4 + rest.size(), 0);
    message[0] = type;
    message[1] = code;
    std::copy(rest.begin(), rest.end(), message.begin() + 4);
    const std::uint16_t checksum = icmp::Checksum(message);
    message[2] = static_cast<std::uint8_t>(checksum >> 8);
    message[3] = static_cast<std::uint8_t>(checksum & 0xff);
    return message;
}

Bytes EchoReply(std::uint16_t identifier, std::uint16_t sequence) {
    return IcmpMessage(
        icmp::kEchoReply, 0,
        {static_cast<std::uint8_t>(identifier >> 8), static_cast<std::uint8_t>(identifier & 0xff),
         static_cast<std::uint8_t>(sequence >> 8), static_cast<std::uint8_t>(sequence & 0xff)});
}

// An error from `router` quoting the echo request that went to `destination`.
Bytes ErrorAbout(std::uint8_t type, std::uint32_t router, std::uint32_t destination,
                 const Bytes& quotedIcmp, std::uint8_t quotedProtocol = icmp::kIpProtocolIcmp) {
    const std::uint32_t admin = Address(198, 18, 0, 2);
    Bytes body{0, 0, 0, 0};  // unused word of the error header
    const Bytes quoted = IpPacket(admin, destination, quotedIcmp, quotedProtocol);
    body.insert(body.end(), quoted.begin(), quoted.end());
    return IpPacket(router, admin, IcmpMessage(type, 1, body));
}

Bytes Request(std::uint16_t identifier, std::uint16_t sequence) {
    const icmp::EchoHeader header = icmp::EchoRequest(identifier, sequence);
    return Bytes(header.begin(), header.end());
}

TEST(HostToIPv4, ConvertsDottedTextDirectly) {
    EXPECT_EQ(toolkit::HostToIPv4("198.18.0.11"), (IPv4{198, 18, 0, 11}));
    EXPECT_EQ(toolkit::HostToIPv4("255.255.255.255"), (IPv4{255, 255, 255, 255}));
    EXPECT_EQ(toolkit::HostToIPv4("0.0.0.0"), (IPv4{0, 0, 0, 0}));
    EXPECT_EQ(toolkit::ToDotted(toolkit::HostToIPv4("10.200.3.45")), "10.200.3.45");
}

TEST(HostToIPv4, EmptyOrMalformedNumbersGiveNoAddress) {
    // Digits and dots only: never handed to the resolver, which would read
    // "010.1.1.1" as octal or "127.1" as 127.0.0.1.
    for (const char* text : {"", "1.2.3.4.5", "256.1.1.1", "010.1.1.1", "127.1", "1..2.3", "."}) {
        EXPECT_EQ(toolkit::HostToIPv4(text), (IPv4{0, 0, 0, 0})) << '"' << text << '"';
    }
}

TEST(IcmpProbe, NoAddressIsFalseWithoutSending) {
    EXPECT_FALSE(toolkit::IcmpProbe("0.0.0.0"));
    EXPECT_FALSE(toolkit::IcmpProbe(""));
    EXPECT_EQ(toolkit::IcmpProbeMany({"", "0.0.0.0", "1.2.3.4.5"}),
              (std::vector<bool>{false, false, false}));
    EXPECT_TRUE(toolkit::IcmpProbeMany({}).empty());
    EXPECT_TRUE(toolkit::IcmpProbeAddresses({}).empty());
}

TEST(IcmpPacket, ChecksumFollowsTheInternetRules) {
    // The worked example of RFC 1071: sum 0xddf2, checksum its complement.
    EXPECT_EQ(icmp::Checksum(Bytes{0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7}), 0x220d);
    // An odd length is padded with a zero byte.
    EXPECT_EQ(icmp::Checksum(Bytes{0x12, 0x34, 0x56}), icmp::Checksum(Bytes{0x12, 0x34, 0x56, 0}));
    // Carries fold back into the low 16 bits.
    EXPECT_EQ(icmp::Checksum(Bytes{0xff, 0xff, 0x00, 0x02}), 0xfffd);
}

TEST(IcmpPacket, EchoRequestHasNoDataAndAValidChecksum) {
    const Bytes request = Request(0xbeef, 0x0102);
    EXPECT_EQ(request, (Bytes{8, 0, request[2], request[3], 0xbe, 0xef, 0x01, 0x02}));
    EXPECT_EQ(icmp::Checksum(request), 0);
}

TEST(IcmpPacket, RawEchoReplyNamesItsSender) {
    const std::uint32_t host = Address(198, 18, 0, 11);
    const auto answer =
        icmp::ReadRawPacket(IpPacket(host, Address(198, 18, 0, 2), EchoReply(7, 300)));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->identifier, 7);
    EXPECT_EQ(answer->sequence, 300);
    EXPECT_EQ(answer->destination, host);
}

TEST(IcmpPacket, RawErrorNamesTheQuotedDestination) {
    const std::uint32_t gateway = Address(198, 18, 0, 1);
    const std::uint32_t beyond = Address(203, 0, 113, 5);
    for (std::uint8_t type : {icmp::kDestinationUnreachable, icmp::kTimeExceeded,
                              icmp::kParameterProblem, icmp::kSourceQuench}) {
        const auto answer = icmp::ReadRawPacket(ErrorAbout(type, gateway, beyond, Request(9, 4)));
        ASSERT_TRUE(answer) << int{type};
        EXPECT_EQ(answer->identifier, 9);
        EXPECT_EQ(answer->sequence, 4);
        EXPECT_EQ(answer->destination, beyond);
    }
}

TEST(IcmpPacket, RawPacketsThatAnswerNothingAreIgnored) {
    const std::uint32_t host = Address(198, 18, 0, 11);
    const std::uint32_t admin = Address(198, 18, 0, 2);
    // Our own request seen on loopback, a redirect, errors about other traffic.
    EXPECT_FALSE(icmp::ReadRawPacket(IpPacket(admin, host, Request(1, 1))));
    EXPECT_FALSE(icmp::ReadRawPacket(ErrorAbout(5, host, host, Request(1, 1))));
    EXPECT_FALSE(icmp::ReadRawPacket(ErrorAbout(3, host, host, EchoReply(1, 1))));
    EXPECT_FALSE(icmp::ReadRawPacket(ErrorAbout(3, host, host, Request(1, 1), 17)));
    // Damaged: wrong checksum, truncated, not ICMP, not IPv4.
    Bytes corrupt = IpPacket(host, admin, EchoReply(1, 1));
    corrupt.back() ^= 0x40;
    EXPECT_FALSE(icmp::ReadRawPacket(corrupt));
    const Bytes whole = IpPacket(host, admin, EchoReply(1, 1));
    EXPECT_FALSE(icmp::ReadRawPacket(Bytes(whole.begin(), whole.end() - 1)));
    EXPECT_FALSE(icmp::ReadRawPacket(IpPacket(host, admin, EchoReply(1, 1), 17)));
    Bytes version6 = whole;
    version6[0] = 0x65;
    EXPECT_FALSE(icmp::ReadRawPacket(version6));
}

TEST(IcmpPacket, RawHeaderOptionsAreSkipped) {
    const std::uint32_t host = Address(198, 18, 0, 11);
    Bytes packet = IpPacket(host, Address(198, 18, 0, 2), {});
    packet[0] = 0x46;                           // six words: one word of options
    packet.insert(packet.end(), {1, 1, 1, 0});  // no-operation options, end of list
    const Bytes reply = EchoReply(3, 5);
    packet.insert(packet.end(), reply.begin(), reply.end());
    const auto answer = icmp::ReadRawPacket(packet);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->sequence, 5);
}

TEST(IcmpPacket, DatagramMessagesKeepTheKernelsAddress) {
    const std::uint32_t host = Address(198, 18, 0, 12);
    const auto reply = icmp::ReadEchoReply(EchoReply(0, 17), host);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->sequence, 17);
    EXPECT_EQ(reply->destination, host);
    EXPECT_FALSE(icmp::ReadEchoReply(Request(0, 17), host));
    EXPECT_FALSE(icmp::ReadEchoReply(Bytes{0, 0, 0}, host));

    const auto quoted = icmp::ReadQuotedRequest(Request(0, 42), host);
    ASSERT_TRUE(quoted);
    EXPECT_EQ(quoted->sequence, 42);
    EXPECT_EQ(quoted->destination, host);
    EXPECT_FALSE(icmp::ReadQuotedRequest(EchoReply(0, 42), host));
    EXPECT_FALSE(icmp::ReadQuotedRequest(Bytes{8, 0, 0, 0, 0, 0}, host));
}

class EchoWindowTest : public ::testing::Test {
  protected:
    const EchoWindow::Clock::time_point start{};
    const std::uint32_t a = Address(10, 0, 0, 1);
    const std::uint32_t b = Address(10, 0, 0, 2);
    const std::uint32_t c = Address(10, 0, 0, 3);
};

TEST_F(EchoWindowTest, NoAddressIsSettledWithoutBeingOffered) {
    EchoWindow window({0, a, 0}, 10ms, 4);
    const auto request = window.NextToSend();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->sequence, 1);
    window.Sent(start);
    EXPECT_FALSE(window.NextToSend());
    window.Answer(1, a);
    EXPECT_TRUE(window.Finished());
    EXPECT_EQ(window.Results(), (std::vector<bool>{false, true, false}));
    EXPECT_TRUE(EchoWindow({0, 0}, 10ms, 4).Finished());
}

TEST_F(EchoWindowTest, AtMostTheWindowIsInFlight) {
    EchoWindow window({a, b, c}, 10ms, 2);
    window.Sent(start);
    window.Sent(start + 1ms);
    EXPECT_FALSE(window.NextToSend());
    EXPECT_EQ(window.InFlight(), 2U);
    window.Expire(start + 10ms);  // the first deadline passes: room for one more
    const auto request = window.NextToSend();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->sequence, 2);
    EXPECT_EQ(request->destination, c);
}

TEST_F(EchoWindowTest, AnswersCountOnlyBeforeTheirOwnDeadline) {
    EchoWindow window({a, b, c}, 10ms, 8);
    window.Sent(start);
    window.Sent(start + 4ms);
    window.Sent(start + 8ms);
    EXPECT_EQ(window.EarliestDeadline(), start + 10ms);
    EXPECT_TRUE(window.Answer(0, a));
    EXPECT_EQ(window.EarliestDeadline(), start + 14ms);
    window.Expire(start + 14ms);
    EXPECT_FALSE(window.Answer(1, b)) << "late answer";
    EXPECT_TRUE(window.Answer(2, c));
    EXPECT_FALSE(window.Answer(2, c)) << "repeated answer";
    EXPECT_TRUE(window.Finished());
    EXPECT_EQ(window.Results(), (std::vector<bool>{true, false, true}));
}

TEST_F(EchoWindowTest, ForeignAnswersChangeNothing) {
    EchoWindow window({a, b}, 10ms, 8);
    window.Sent(start);
    EXPECT_FALSE(window.Answer(0, b)) << "sequence of another destination";
    EXPECT_FALSE(window.Answer(1, b)) << "request not sent yet";
    EXPECT_FALSE(window.Answer(7, a)) << "sequence outside the batch";
    EXPECT_EQ(window.InFlight(), 1U);
    EXPECT_EQ(window.Results(), (std::vector<bool>{false, false}));
}

TEST_F(EchoWindowTest, RefusedAndAbandonedRequestsAreFalse) {
    EchoWindow window({a, b, c}, 10ms, 8);
    window.Refused();
    window.Sent(start);
    window.AbandonUnsent();
    EXPECT_FALSE(window.NextToSend());
    EXPECT_FALSE(window.Finished()) << "one request still in flight";
    EXPECT_TRUE(window.Answer(1, b));
    EXPECT_TRUE(window.Finished());
    EXPECT_EQ(window.Results(), (std::vector<bool>{false, true, false}));
}

// A destination still silent gets its second request, then its try by other
// means, each once and at its own time inside its window; an answer (to
// either request, or the other proof) ends the follow-ups, and none comes at
// or after the deadline.
TEST_F(EchoWindowTest, SilentDestinationsGetTheirFollowUpsOnceInsideTheirWindow) {
    EchoWindow window({a, b, c}, 100ms, 8, {25ms, 30ms});
    window.Sent(start);
    window.Sent(start + 10ms);
    window.Sent(start + 20ms);
    EXPECT_EQ(window.NextEvent(), start + 25ms);
    EXPECT_FALSE(window.DueSecondRequest(start + 24ms));
    EXPECT_TRUE(window.Answer(1, b));  // b needs nothing more
    const auto again = window.DueSecondRequest(start + 40ms);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->sequence, 0);
    EXPECT_EQ(again->destination, a);
    EXPECT_FALSE(window.DueSecondRequest(start + 40ms)) << "c is due at 45 ms, b is settled";
    EXPECT_EQ(window.NextEvent(), start + 30ms) << "a's other proof is overdue";
    const auto proof = window.DueOtherProof(start + 40ms);
    ASSERT_TRUE(proof);
    EXPECT_EQ(proof->sequence, 0);
    EXPECT_TRUE(window.Waiting(0));
    EXPECT_TRUE(window.Answer(0, a)) << "the other proof answers as the echo does";
    EXPECT_FALSE(window.Waiting(0));
    EXPECT_EQ(window.NextEvent(), start + 45ms);
    EXPECT_EQ(window.DueSecondRequest(start + 45ms)->sequence, 2);
    EXPECT_EQ(window.DueOtherProof(start + 50ms)->sequence, 2);
    EXPECT_EQ(window.NextEvent(), start + 120ms) << "only c's deadline is left";
    window.Expire(start + 120ms);
    EXPECT_TRUE(window.Finished());
    EXPECT_EQ(window.Results(), (std::vector<bool>{true, true, false}));

    EchoWindow late({a}, 10ms, 8, {10ms, 20ms});
    late.Sent(start);
    EXPECT_EQ(late.NextEvent(), start + 10ms) << "follow-ups past the deadline are none";
    EXPECT_FALSE(late.DueSecondRequest(start + 50ms));
    EXPECT_FALSE(late.DueOtherProof(start + 50ms));
}

TEST(NeighbourRoom, FollowsTheTablesFreeRoomAndFallsBackToABudget) {
    using toolkit::platform::NeighbourLoad;
    using toolkit::platform::NeighbourRoom;
    const NeighbourRoom::Clock::time_point start{};
    struct Case {
        std::optional<NeighbourLoad> load;
        std::size_t room;                     // requests granted at `start` for one look
        NeighbourRoom::Clock::duration wait;  // until the table is looked at again
    };
    for (const Case& c : std::vector<Case>{
             {NeighbourLoad{0, 1024}, 768, 0ms},  // a quarter kept for other programs
             {NeighbourLoad{700, 1024}, 68, 0ms},
             {NeighbourLoad{0, 4}, 3, 0ms},
             {NeighbourLoad{900, 1024}, 0, 10ms},  // full: looked at again later
             {std::nullopt, 5, 5s},                // unreadable: the fixed budget
         }) {
        int reads = 0;
        NeighbourRoom room(
            [&] {
                ++reads;
                return c.load;
            },
            10ms, 5, 5s);
        std::size_t granted = 0;
        while (reads < 2 && granted < 2000 && room.TryTake(start)) ++granted;
        if (reads == 2) --granted;  // the first grant of the second look
        EXPECT_EQ(granted, c.room);
        EXPECT_EQ(room.NextLook(), start + c.wait);
        if (c.wait > 0ms) {
            EXPECT_FALSE(room.TryTake(start + c.wait - 1ms));
            EXPECT_EQ(reads, 1) << "not looked at again before its time";
            EXPECT_EQ(room.TryTake(start + c.wait), c.room > 0);
            EXPECT_EQ(reads, 2);
        }
    }
}

}  // namespace
