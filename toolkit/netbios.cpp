#include "netbios.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <random>

#include "platform/platform.h"
#include "reseau.h"
#include "utils.h"
#include "wire_reader.h"

namespace toolkit {

namespace {

constexpr std::uint16_t kNameType = 0x0020;  // NB
constexpr std::uint16_t kInternetClass = 0x0001;
constexpr std::uint16_t kResponseBit = 0x8000;
constexpr std::uint16_t kOpcodeMask = 0x7800;
constexpr std::uint16_t kRcodeMask = 0x000F;
constexpr std::uint16_t kRecursionDesired = 0x0100;
constexpr std::uint16_t kBroadcastBit = 0x0010;
constexpr std::size_t kAddressEntryLength = 6;  // flags, then the address

using Reader = WireReader;

// The workstation name asked for, in its wire form.
std::vector<std::uint8_t> WireName(std::string_view name) {
    return WireNetbiosName(RawNetbiosName(name, kWorkstationSuffix));
}

bool IsQueryCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

// random_device throws where the system offers no entropy; the clock then
// differs enough from one batch to the next.
std::uint16_t FirstTransactionId() {
    try {
        std::random_device source;
        return static_cast<std::uint16_t>(source() & 0xFFFF);
    } catch (const std::exception&) {
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        return static_cast<std::uint16_t>(ticks & 0xFFFF);
    }
}

// The broadcast address of every local network but loopback's.
std::vector<std::uint32_t> LocalBroadcasts() {
    std::vector<std::uint32_t> broadcasts;
    for (const auto& row : platform::LocalAddressRows()) {
        const auto first = static_cast<std::uint8_t>(row.address & 0xFF);  // network order
        if (first == 127 || row.mask == 0xFFFFFFFF) continue;
        const std::uint32_t broadcast = row.address | ~row.mask;
        if (std::find(broadcasts.begin(), broadcasts.end(), broadcast) == broadcasts.end())
            broadcasts.push_back(broadcast);
    }
    return broadcasts;
}

}  // namespace

std::array<std::uint8_t, 16> RawNetbiosName(std::string_view text, std::uint8_t suffix, char pad) {
    std::array<std::uint8_t, 16> raw{};
    raw.fill(static_cast<std::uint8_t>(pad));
    const std::size_t length = std::min(text.size(), kNetbiosNameLength);
    std::copy_n(text.begin(), length, raw.begin());
    raw[kNetbiosNameLength] = suffix;
    return raw;
}

std::string EncodeNetbiosName(std::span<const std::uint8_t, 16> raw) {
    std::string letters;
    letters.reserve(kEncodedNetbiosNameLength);
    for (const std::uint8_t byte : raw) {
        letters.push_back(static_cast<char>('A' + (byte >> 4)));
        letters.push_back(static_cast<char>('A' + (byte & 0x0F)));
    }
    return letters;
}

std::vector<std::uint8_t> WireNetbiosName(std::span<const std::uint8_t, 16> raw) {
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(kEncodedNetbiosNameLength)};
    for (const char letter : EncodeNetbiosName(raw))
        out.push_back(static_cast<std::uint8_t>(letter));
    out.push_back(0);
    return out;
}

std::optional<std::array<std::uint8_t, 16>> DecodeNetbiosName(
    std::span<const std::uint8_t> letters) {
    if (letters.size() != kEncodedNetbiosNameLength) return std::nullopt;
    std::array<std::uint8_t, 16> raw{};
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const std::uint8_t high = letters[2 * i];
        const std::uint8_t low = letters[2 * i + 1];
        if (high < 'A' || high > 'P' || low < 'A' || low > 'P') return std::nullopt;
        raw[i] = static_cast<std::uint8_t>(((high - 'A') << 4) | (low - 'A'));
    }
    return raw;
}

std::optional<std::string> NetbiosQueryName(std::string_view host) {
    if (host.empty() || host.size() > kNetbiosNameLength) return std::nullopt;
    if (!std::all_of(host.begin(), host.end(), IsQueryCharacter)) return std::nullopt;
    return AsciiUpper(host);
}

std::vector<std::uint8_t> BuildNameQuery(std::uint16_t transactionId, std::string_view name) {
    std::vector<std::uint8_t> out;
    PutU16(out, transactionId);
    PutU16(out, kRecursionDesired | kBroadcastBit);
    PutU16(out, 1);  // one question
    for (int i = 0; i < 3; ++i) PutU16(out, 0);
    const auto wire = WireName(name);
    out.insert(out.end(), wire.begin(), wire.end());
    PutU16(out, kNameType);
    PutU16(out, kInternetClass);
    return out;
}

std::optional<IPv4> ParseNameQueryResponse(std::span<const std::uint8_t> packet,
                                           std::uint16_t transactionId, std::string_view name) {
    Reader in(packet);
    const std::uint16_t id = in.U16();
    const std::uint16_t flags = in.U16();
    const std::uint16_t questions = in.U16();
    const std::uint16_t answers = in.U16();
    in.Take(4);  // authority and additional counts
    if (!in.Ok() || id != transactionId || (flags & kResponseBit) == 0 ||
        (flags & (kOpcodeMask | kRcodeMask)) != 0 || questions != 0 || answers == 0) {
        return std::nullopt;
    }
    const auto wire = WireName(name);
    const auto answerName = in.Take(wire.size());
    const std::uint16_t type = in.U16();
    const std::uint16_t klass = in.U16();
    in.Take(4);  // time to live
    const std::uint16_t length = in.U16();
    const auto data = in.Take(length);
    if (!in.Ok() || !std::equal(wire.begin(), wire.end(), answerName.begin(), answerName.end()) ||
        type != kNameType || klass != kInternetClass || length < kAddressEntryLength) {
        return std::nullopt;
    }
    IPv4 address{};
    std::copy_n(data.begin() + 2, address.size(), address.begin());
    if (ScopeOfAddress(address, {}) != AddressScope::Computer) return std::nullopt;
    return address;
}

std::string OwnNetbiosName(std::string_view hostName) {
    return AsciiUpper(hostName.substr(0, hostName.find('.')).substr(0, kNetbiosNameLength));
}

bool AcceptableAnswer(const IPv4& address, std::string_view name,
                      const std::vector<IPv4>& ownAddresses, std::string_view ownName) {
    if (std::find(ownAddresses.begin(), ownAddresses.end(), address) == ownAddresses.end())
        return true;
    return !ownName.empty() && EqualsIgnoreCase(name, ownName);
}

struct NetbiosNameQueries::Query {
    std::optional<std::string> name;  // nullopt: never asked
    std::uint16_t id = 0;
    bool asked = false;
    int sent = 0;
    Clock::time_point due{};
    std::optional<IPv4> answer;
};

NetbiosNameQueries::NetbiosNameQueries(std::vector<std::string> hosts) : queries_(hosts.size()) {
    const std::uint16_t first = FirstTransactionId();
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        queries_[i].name = NetbiosQueryName(hosts[i]);
        queries_[i].id = static_cast<std::uint16_t>(first + i);
    }
    broadcasts_ = LocalBroadcasts();
    if (broadcasts_.empty()) return;
    socket_ = platform::OpenUdpSocket();
    for (const auto& row : platform::LocalAddressRows()) {
        IPv4 own{};
        std::memcpy(own.data(), &row.address, own.size());  // network order: bytes in order
        ownAddresses_.push_back(own);
    }
    ownName_ = OwnNetbiosName(platform::LocalHostName());
}

NetbiosNameQueries::~NetbiosNameQueries() {
    platform::CloseUdpSocket(socket_);
}

void NetbiosNameQueries::Ask(std::size_t index) {
    Query& query = queries_.at(index);
    if (query.asked || !query.name || socket_ < 0) return;
    query.asked = true;
    query.due = Clock::now();
}

bool NetbiosNameQueries::Settled(std::size_t index) const {
    const Query& query = queries_.at(index);
    if (query.answer || !query.name || socket_ < 0) return true;
    return query.sent == kNameQueryTries && Clock::now() >= query.due;
}

std::optional<IPv4> NetbiosNameQueries::Answer(std::size_t index) const {
    return queries_.at(index).answer;
}

void NetbiosNameQueries::Send(Query& query) {
    const auto packet = BuildNameQuery(query.id, *query.name);
    for (const std::uint32_t broadcast : broadcasts_)
        platform::SendUdpFrom(socket_, broadcast, kNetbiosNamePort, packet);
    ++query.sent;
    query.due = Clock::now() + kNameQueryInterval;
}

bool NetbiosNameQueries::Step(Clock::time_point until) {
    if (socket_ < 0) return false;
    Clock::time_point next = until;
    for (Query& query : queries_) {
        if (!query.asked || query.answer || query.sent == kNameQueryTries) continue;
        if (Clock::now() >= query.due) Send(query);
        if (query.sent < kNameQueryTries) next = std::min(next, query.due);
    }
    Read(next);
    return true;
}

// Answers come from the asked computer's name service port; which computer
// answers does not matter, only that it answers our query for the name.
void NetbiosNameQueries::Read(Clock::time_point until) {
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
        const auto datagram =
            platform::ReceiveUdp(socket_, static_cast<int>(std::max<long long>(left, 0)));
        if (!datagram) return;
        if (datagram->port != kNetbiosNamePort) continue;
        for (Query& query : queries_) {
            if (!query.asked || query.answer) continue;
            const auto answer = ParseNameQueryResponse(datagram->payload, query.id, *query.name);
            if (!answer || !AcceptableAnswer(*answer, *query.name, ownAddresses_, ownName_))
                continue;
            query.answer = answer;
            break;
        }
    }
}

}  // namespace toolkit
