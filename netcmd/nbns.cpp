#include "nbns.h"

#include <algorithm>

#include "wire_reader.h"

namespace netcmd {
namespace {

constexpr std::uint16_t kResponseBit = 0x8000;
constexpr std::uint16_t kOpcodeMask = 0x7800;
constexpr std::uint16_t kRcodeMask = 0x000F;
constexpr std::uint16_t kAuthoritativeBit = 0x0400;
constexpr std::size_t kHeaderLength = 12;
constexpr std::size_t kEncodedNameLength = toolkit::kEncodedNetbiosNameLength;
constexpr std::size_t kMaxDomainName = 255;
constexpr std::size_t kNameEntryLength = 18;  // 16 name bytes + 2 flag bytes
// Unit ID plus the counters that follow it in the statistics block.
constexpr std::size_t kStatisticsLength = 46;

using Reader = toolkit::WireReader;
using toolkit::PutU16;

void PutHeader(Bytes& out, std::uint16_t id, std::uint16_t flags, std::uint16_t questions,
               std::uint16_t answers) {
    PutU16(out, id);
    PutU16(out, flags);
    PutU16(out, questions);
    PutU16(out, answers);
    PutU16(out, 0);  // authority records
    PutU16(out, 0);  // additional records
}

void PutEncodedName(Bytes& out, std::span<const std::uint8_t, 16> raw) {
    const auto wire = toolkit::WireNetbiosName(raw);
    out.insert(out.end(), wire.begin(), wire.end());
}

// A name in its wire form, which we never need to read: labels of at most 63
// bytes ending with an empty one, or a compression pointer.
void SkipDomainName(Reader& in) {
    std::size_t total = 0;
    while (in.Ok()) {
        const std::uint8_t length = in.U8();
        if (length == 0) return;
        if ((length & 0xC0) == 0xC0) {
            in.U8();
            return;
        }
        total += length + 1U;
        if ((length & 0xC0) != 0 || total > kMaxDomainName) {
            in.Fail();
            return;
        }
        in.Take(length);
    }
}

// The question name of a query: exactly one 32-letter label, no scope.
std::optional<std::array<std::uint8_t, 16>> ReadQuestionName(Reader& in) {
    if (in.U8() != kEncodedNameLength) return std::nullopt;
    const auto letters = in.Take(kEncodedNameLength);
    if (in.U8() != 0 || !in.Ok()) return std::nullopt;
    return toolkit::DecodeNetbiosName(letters);
}

std::optional<NodeStatus> ReadNodeStatusData(std::span<const std::uint8_t> rdata) {
    Reader in(rdata);
    const std::size_t count = in.U8();
    // The statistics block, unit ID first, follows the names in full.
    if (!in.Ok() || in.Remaining() < count * kNameEntryLength + kStatisticsLength) {
        return std::nullopt;
    }
    NodeStatus status;
    status.names.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto raw = in.Take(kNetbiosNameLength);
        NodeName entry;
        entry.name.assign(raw.begin(), raw.end());
        entry.suffix = in.U8();
        entry.flags = in.U16();
        status.names.push_back(std::move(entry));
    }
    const auto unit = in.Take(status.unitId.size());
    if (!in.Ok()) return std::nullopt;
    std::copy(unit.begin(), unit.end(), status.unitId.begin());
    return status;
}

}  // namespace

Bytes BuildNodeStatusQuery(std::uint16_t transactionId) {
    Bytes out;
    PutHeader(out, transactionId, 0, 1, 0);
    // The wildcard asks whoever receives the query, whatever its names;
    // it is padded with NULs, not spaces.
    PutEncodedName(out, RawNetbiosName("*", 0, '\0'));
    PutU16(out, kNodeStatusType);
    PutU16(out, kInternetClass);
    return out;
}

std::optional<NodeStatusQuery> ParseNodeStatusQuery(std::span<const std::uint8_t> packet) {
    Reader in(packet);
    NodeStatusQuery query;
    query.transactionId = in.U16();
    const std::uint16_t flags = in.U16();
    const std::uint16_t questions = in.U16();
    const std::uint16_t others = static_cast<std::uint16_t>(in.U16() | in.U16() | in.U16());
    if (!in.Ok() || (flags & (kResponseBit | kOpcodeMask)) != 0 || questions != 1 || others != 0) {
        return std::nullopt;
    }
    const auto name = ReadQuestionName(in);
    if (!name) return std::nullopt;
    query.name = *name;
    const std::uint16_t type = in.U16();
    const std::uint16_t klass = in.U16();
    if (!in.Ok() || type != kNodeStatusType || klass != kInternetClass || in.Remaining() != 0) {
        return std::nullopt;
    }
    return query;
}

Bytes BuildNodeStatusResponse(const NodeStatusQuery& query, const NodeStatus& status) {
    const std::size_t count = std::min(status.names.size(), kMaxNodeNames);
    const std::size_t dataLength = 1 + count * kNameEntryLength + kStatisticsLength;
    Bytes out;
    PutHeader(out, query.transactionId, kResponseBit | kAuthoritativeBit, 0, 1);
    PutEncodedName(out, query.name);
    PutU16(out, kNodeStatusType);
    PutU16(out, kInternetClass);
    PutU16(out, 0);  // time to live: the table is not to be cached by the asker
    PutU16(out, 0);
    PutU16(out, static_cast<std::uint16_t>(dataLength));
    out.push_back(static_cast<std::uint8_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const NodeName& entry = status.names[i];
        const auto raw = RawNetbiosName(entry.name, entry.suffix);
        out.insert(out.end(), raw.begin(), raw.end());
        PutU16(out, entry.flags);
    }
    out.insert(out.end(), status.unitId.begin(), status.unitId.end());
    out.resize(out.size() + kStatisticsLength - status.unitId.size(), 0);
    return out;
}

std::optional<NodeStatus> ParseNodeStatusResponse(std::span<const std::uint8_t> packet,
                                                  std::uint16_t expectedId) {
    if (packet.size() < kHeaderLength || packet.size() > kMaxNbnsPacket) return std::nullopt;
    Reader in(packet);
    const std::uint16_t id = in.U16();
    const std::uint16_t flags = in.U16();
    const std::uint16_t questions = in.U16();
    const std::uint16_t answers = in.U16();
    in.Take(4);  // authority and additional counts: their records are not read
    if (id != expectedId || (flags & kResponseBit) == 0 || (flags & kOpcodeMask) != 0 ||
        (flags & kRcodeMask) != 0 || answers == 0) {
        return std::nullopt;
    }
    // Nobody is expected to repeat the question, but one that does is skipped
    // rather than misread as the answer.
    for (std::uint16_t i = 0; i < questions && in.Ok(); ++i) {
        SkipDomainName(in);
        in.Take(4);
    }
    SkipDomainName(in);
    const std::uint16_t type = in.U16();
    const std::uint16_t klass = in.U16();
    in.Take(4);  // time to live
    const std::uint16_t dataLength = in.U16();
    const auto rdata = in.Take(dataLength);
    if (!in.Ok() || type != kNodeStatusType || klass != kInternetClass) return std::nullopt;
    return ReadNodeStatusData(rdata);
}

}  // namespace netcmd
