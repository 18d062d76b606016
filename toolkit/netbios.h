// NetBIOS names on the LAN: the name encoding shared with the node-status
// tools, and the name query by which a Windows computer finds a neighbour that
// no DNS server knows (most small offices have none for their computers).
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "raw_ping.h"

namespace toolkit {

inline constexpr std::uint16_t kNetbiosNamePort = 137;
// A NetBIOS name is 15 bytes of text plus one suffix byte giving its use.
inline constexpr std::size_t kNetbiosNameLength = 15;
// The suffix of a computer's own (workstation) name.
inline constexpr std::uint8_t kWorkstationSuffix = 0x00;

// The 16 raw bytes of a name: the text padded with `pad` to 15 bytes (longer
// text is cut), then the suffix.
std::array<std::uint8_t, 16> RawNetbiosName(std::string_view text, std::uint8_t suffix,
                                            char pad = ' ');
// First-level encoding: each byte becomes two letters 'A' + nibble.
std::string EncodeNetbiosName(std::span<const std::uint8_t, 16> raw);
// The name as a question or an answer carries it: one label of the 32
// letters, then the empty label (no scope).
std::vector<std::uint8_t> WireNetbiosName(std::span<const std::uint8_t, 16> raw);
// The 16 raw bytes of 32 encoded letters; nullopt when one is not 'A' to 'P'
// or the count is not 32.
std::optional<std::array<std::uint8_t, 16>> DecodeNetbiosName(
    std::span<const std::uint8_t> letters);
inline constexpr std::size_t kEncodedNetbiosNameLength = 32;

// The name a NetBIOS query asks for `host`, upper case; nullopt for a text
// that cannot be a NetBIOS name (empty, longer than 15 bytes, holding a dot,
// which makes it a DNS name, or anything but ASCII letters, digits, "-", "_").
std::optional<std::string> NetbiosQueryName(std::string_view host);

// A broadcast name query for the workstation name `name` (as NetbiosQueryName gives it).
std::vector<std::uint8_t> BuildNameQuery(std::uint16_t transactionId, std::string_view name);
// The first address of a positive answer to our query `transactionId` for
// `name`; nullopt for anything else (a negative answer, another name, a
// truncated or inconsistent packet, an address of 0.0.0.0/8, loopback,
// multicast or 240.0.0.0/4, which name no computer of the LAN: ScopeOfAddress).
std::optional<IPv4> ParseNameQueryResponse(std::span<const std::uint8_t> packet,
                                           std::uint16_t transactionId, std::string_view name);

// The NetBIOS name of this computer: its host name without domain, upper
// case, cut to 15 bytes as NetBIOS names are.
std::string OwnNetbiosName(std::string_view hostName);
// Whether an answer's address may stand for `name` (a NetBIOS name): one of
// the asking computer's own addresses only when the name is its own. A
// neighbour answering with the asker's address would have it probe itself
// and show the name on.
bool AcceptableAnswer(const IPv4& address, std::string_view name,
                      const std::vector<IPv4>& ownAddresses, std::string_view ownName);

// The name queries of one batch of names, broadcast on every local IPv4
// network (a missing answer is asked again, kNameQueryTries times in all,
// kNameQueryInterval apart). A name is asked only once Ask names it, so a
// caller asks only for what the other name services did not find.
inline constexpr int kNameQueryTries = 3;
inline constexpr std::chrono::milliseconds kNameQueryInterval{250};

class NetbiosNameQueries {
  public:
    using Clock = std::chrono::steady_clock;

    explicit NetbiosNameQueries(std::vector<std::string> hosts);
    ~NetbiosNameQueries();
    NetbiosNameQueries(const NetbiosNameQueries&) = delete;
    NetbiosNameQueries& operator=(const NetbiosNameQueries&) = delete;

    // Host `index` is to be asked from now on (nothing for a text that cannot
    // be a NetBIOS name, or when no socket could be opened).
    void Ask(std::size_t index);
    // Sends the queries that are due, then reads answers until `until` or the
    // next query is due, whichever comes first. False, at once, when there is
    // no socket to ask on.
    bool Step(Clock::time_point until);
    // The answer for host `index`, once one came.
    std::optional<IPv4> Answer(std::size_t index) const;
    // True when host `index` got its answer, or will never get one.
    bool Settled(std::size_t index) const;

  private:
    struct Query;
    void Send(Query& query);
    void Read(Clock::time_point until);

    std::vector<Query> queries_;
    std::vector<std::uint32_t> broadcasts_;  // network order
    std::vector<IPv4> ownAddresses_;
    std::string ownName_;
    int socket_ = -1;
};

}  // namespace toolkit
