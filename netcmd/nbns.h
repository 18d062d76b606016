// The NetBIOS name service messages that name a host: the node-status query
// and its answer. Everything read from the network goes through the parsers
// here, which check every length against the bytes actually received and
// refuse the packet rather than guess.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "netbios.h"

namespace netcmd {

inline constexpr std::uint16_t kNbnsPort = 137;
inline constexpr std::uint16_t kNodeStatusType = 0x0021;
inline constexpr std::uint16_t kInternetClass = 0x0001;

using toolkit::kNetbiosNameLength;
// The answer counts its names in one byte.
inline constexpr std::size_t kMaxNodeNames = 255;
// The largest answer a well-formed responder can send (255 names, a scope)
// fits well below this; anything bigger is not a node-status answer.
inline constexpr std::size_t kMaxNbnsPacket = 8192;

// Flags of a name in the node's table.
inline constexpr std::uint16_t kGroupFlag = 0x8000;
inline constexpr std::uint16_t kActiveFlag = 0x0400;

using UnitId = std::array<std::uint8_t, 6>;
using Bytes = std::vector<std::uint8_t>;

struct NodeName {
    std::string name;  // the 15 bytes as sent, padding included
    std::uint8_t suffix = 0;
    std::uint16_t flags = 0;
    bool IsGroup() const { return (flags & kGroupFlag) != 0; }
};

struct NodeStatus {
    std::vector<NodeName> names;
    UnitId unitId{};  // the adapter's hardware address
};

// The name encoding is the toolkit's, shared with its name queries.
using toolkit::EncodeNetbiosName;
using toolkit::RawNetbiosName;

// Query for the name table of whoever receives it (the wildcard name "*").
Bytes BuildNodeStatusQuery(std::uint16_t transactionId);

struct NodeStatusQuery {
    std::uint16_t transactionId = 0;
    std::array<std::uint8_t, 16> name{};  // decoded question name
};
// A node-status query as a responder receives it; nullopt for anything else.
std::optional<NodeStatusQuery> ParseNodeStatusQuery(std::span<const std::uint8_t> packet);

// The answer to `query` listing `status` (at most 255 names are sent).
Bytes BuildNodeStatusResponse(const NodeStatusQuery& query, const NodeStatus& status);

// The answer to our query `expectedId`; nullopt when the packet is not a
// complete, consistent node-status answer to it.
std::optional<NodeStatus> ParseNodeStatusResponse(std::span<const std::uint8_t> packet,
                                                  std::uint16_t expectedId);

}  // namespace netcmd
