// The NetBIOS node-status codec: the wire form of the query, answers that
// survive a round trip, and packets that must be refused whatever they hold.
#include "nbns.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using netcmd::Bytes;
using netcmd::NodeName;
using netcmd::NodeStatus;

Bytes Ascii(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

NodeStatus SampleTable() {
    NodeStatus table;
    table.names = {
        {"PC-SALON", 0x00, 0x0400}, {"MAISON", 0x00, 0x8400}, {"PC-SALON", 0x20, 0x0400}};
    table.unitId = {0x02, 0x4B, 0x52, 0x00, 0x00, 0x11};
    return table;
}

Bytes SampleResponse(std::uint16_t id) {
    netcmd::NodeStatusQuery query;
    query.transactionId = id;
    query.name = netcmd::RawNetbiosName("*", 0, '\0');
    return netcmd::BuildNodeStatusResponse(query, SampleTable());
}

// Offset of the name count: header, encoded name, type, class, TTL, length.
constexpr std::size_t kCountOffset = 12 + 34 + 10;

TEST(NetbiosName, FirstLevelEncodingMatchesTheWellKnownForms) {
    // The classic example: "FRED" padded with spaces, suffix 0x20.
    EXPECT_EQ(netcmd::EncodeNetbiosName(netcmd::RawNetbiosName("FRED", 0x20)),
              "EGFCEFEECACACACACACACACACACACACA");
    EXPECT_EQ(netcmd::EncodeNetbiosName(netcmd::RawNetbiosName("*", 0, '\0')),
              "CKAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA");
    // Longer text is cut to 15 bytes so the suffix keeps its place.
    const auto raw = netcmd::RawNetbiosName("ABCDEFGHIJKLMNOPQ", 0x1E);
    EXPECT_EQ(std::string(raw.begin(), raw.begin() + 15), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(raw[15], 0x1E);
}

TEST(NodeStatusQuery, WireFormIsTheWildcardStatusQuestion) {
    Bytes expected = {0xAB, 0xCD, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x20};
    const Bytes letters = Ascii("CKAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA");
    expected.insert(expected.end(), letters.begin(), letters.end());
    expected.insert(expected.end(), {0x00, 0x00, 0x21, 0x00, 0x01});
    EXPECT_EQ(netcmd::BuildNodeStatusQuery(0xABCD), expected);
}

TEST(NodeStatusQuery, ParsesItsOwnQueryAndRefusesVariants) {
    const Bytes query = netcmd::BuildNodeStatusQuery(0x4242);
    const auto parsed = netcmd::ParseNodeStatusQuery(query);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->transactionId, 0x4242);
    EXPECT_EQ(parsed->name, netcmd::RawNetbiosName("*", 0, '\0'));

    for (std::size_t size = 0; size < query.size(); ++size) {
        EXPECT_FALSE(netcmd::ParseNodeStatusQuery(std::span(query).first(size))) << size;
    }
    const auto refused = [&](std::size_t at, std::uint8_t value) {
        Bytes changed = query;
        changed[at] = value;
        return !netcmd::ParseNodeStatusQuery(changed);
    };
    EXPECT_TRUE(refused(2, 0x80));   // a response, not a query
    EXPECT_TRUE(refused(5, 2));      // two questions
    EXPECT_TRUE(refused(13, 'Q'));   // not a first-level letter
    EXPECT_TRUE(refused(46, 0x01));  // a scope follows the name
    EXPECT_TRUE(refused(48, 0x20));  // a name query, not a status query
    Bytes longer = query;
    longer.push_back(0);
    EXPECT_FALSE(netcmd::ParseNodeStatusQuery(longer));
}

TEST(NodeStatusResponse, RoundTripKeepsNamesFlagsAndUnitId) {
    const auto parsed = netcmd::ParseNodeStatusResponse(SampleResponse(7), 7);
    ASSERT_TRUE(parsed);
    const NodeStatus table = SampleTable();
    ASSERT_EQ(parsed->names.size(), table.names.size());
    for (std::size_t i = 0; i < table.names.size(); ++i) {
        std::string padded = table.names[i].name;
        padded.resize(15, ' ');
        EXPECT_EQ(parsed->names[i].name, padded);
        EXPECT_EQ(parsed->names[i].suffix, table.names[i].suffix);
        EXPECT_EQ(parsed->names[i].IsGroup(), table.names[i].IsGroup());
    }
    EXPECT_EQ(parsed->unitId, table.unitId);
}

TEST(NodeStatusResponse, RefusesWrongIdTruncationAndExcess) {
    const Bytes response = SampleResponse(7);
    EXPECT_FALSE(netcmd::ParseNodeStatusResponse(response, 8));
    for (std::size_t size = 0; size < response.size(); ++size) {
        EXPECT_FALSE(netcmd::ParseNodeStatusResponse(std::span(response).first(size), 7)) << size;
    }
    Bytes oversized = response;
    oversized.resize(netcmd::kMaxNbnsPacket + 1, 0);
    EXPECT_FALSE(netcmd::ParseNodeStatusResponse(oversized, 7));
}

TEST(NodeStatusResponse, RefusesANameCountBeyondTheData) {
    Bytes response = SampleResponse(7);
    ASSERT_EQ(response[kCountOffset], 3);
    response[kCountOffset] = 4;
    EXPECT_FALSE(netcmd::ParseNodeStatusResponse(response, 7));
    response[kCountOffset] = 255;
    EXPECT_FALSE(netcmd::ParseNodeStatusResponse(response, 7));
    // Data length claiming more than the packet holds.
    Bytes longer = SampleResponse(7);
    longer[kCountOffset - 1] = 0xFF;
    EXPECT_FALSE(netcmd::ParseNodeStatusResponse(longer, 7));
}

TEST(NodeStatusResponse, RefusesErrorsAndOtherRecordTypes) {
    const auto refused = [](std::size_t at, std::uint8_t value) {
        Bytes changed = SampleResponse(7);
        changed[at] = value;
        return !netcmd::ParseNodeStatusResponse(changed, 7);
    };
    EXPECT_TRUE(refused(2, 0x04));            // response bit cleared
    EXPECT_TRUE(refused(3, 0x03));            // error code
    EXPECT_TRUE(refused(7, 0));               // no answer record
    EXPECT_TRUE(refused(12 + 34 + 1, 0x20));  // a name record, not a status record
    EXPECT_TRUE(refused(12, 0x40));           // reserved label type
}

TEST(NodeStatusResponse, AcceptsACompressedNameOrAnEchoedQuestion) {
    const Bytes full = SampleResponse(9);
    Bytes compressed(full.begin(), full.begin() + 12);
    compressed.insert(compressed.end(), {0xC0, 0x0C});
    compressed.insert(compressed.end(), full.begin() + 12 + 34, full.end());
    const auto fromCompressed = netcmd::ParseNodeStatusResponse(compressed, 9);
    ASSERT_TRUE(fromCompressed);
    EXPECT_EQ(fromCompressed->names.size(), 3u);

    const Bytes query = netcmd::BuildNodeStatusQuery(9);
    Bytes echoed(full.begin(), full.begin() + 12);
    echoed[5] = 1;  // one question, repeated before the answer
    echoed.insert(echoed.end(), query.begin() + 12, query.end());
    echoed.insert(echoed.end(), full.begin() + 12, full.end());
    EXPECT_TRUE(netcmd::ParseNodeStatusResponse(echoed, 9));
}

// Hostile input: every single-byte change of a valid answer, and random
// datagrams, are parsed without reading past the data (run under ASan in CI);
// whatever is accepted fits in what was received.
TEST(NodeStatusResponse, MutatedAndRandomPacketsNeverOverread) {
    const Bytes response = SampleResponse(7);
    for (std::size_t at = 0; at < response.size(); ++at) {
        for (const int value : {0x00, 0x3F, 0x80, 0xC0, 0xFF}) {
            Bytes changed = response;
            changed[at] = static_cast<std::uint8_t>(value);
            const auto parsed = netcmd::ParseNodeStatusResponse(changed, 7);
            if (parsed) {
                EXPECT_LE(parsed->names.size() * 18 + 6, changed.size());
            }
        }
    }
    std::mt19937 random(12345);
    std::size_t accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        Bytes noise(random() % 300);
        for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
        if (noise.size() >= 2) noise[0] = noise[1] = 0;  // matching id, so the rest is read
        accepted += netcmd::ParseNodeStatusResponse(noise, 0) ? 1 : 0;
        EXPECT_FALSE(netcmd::ParseNodeStatusQuery(noise));
    }
    EXPECT_EQ(accepted, 0u);
}

}  // namespace
