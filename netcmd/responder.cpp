#include "responder.h"

#include <algorithm>
#include <string>

#include "utils.h"

namespace netcmd {
namespace {

constexpr std::uint8_t kWorkstationSuffix = 0x00;
constexpr std::uint8_t kServerSuffix = 0x20;
constexpr std::uint8_t kBrowserElectionSuffix = 0x1E;
constexpr std::size_t kMagicRepeats = 16;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool QuestionMatches(const std::array<std::uint8_t, 16>& question, const NodeStatus& table) {
    if (question == RawNetbiosName("*", 0, '\0')) return true;
    return std::any_of(table.names.begin(), table.names.end(), [&](const NodeName& entry) {
        return question == RawNetbiosName(entry.name, entry.suffix);
    });
}

}  // namespace

std::optional<UnitId> ParseMac(std::string_view text) {
    constexpr std::size_t kTextLength = 17;
    if (text.size() != kTextLength) return std::nullopt;
    const char separator = text[2];
    if (separator != ':' && separator != '-') return std::nullopt;
    UnitId mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::size_t at = 3 * i;
        const int high = HexDigit(text[at]);
        const int low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        if (i + 1 < mac.size() && text[at + 2] != separator) return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return mac;
}

NodeStatus HostNameTable(std::string_view name, std::string_view group, const UnitId& mac) {
    const std::string host = toolkit::AsciiUpper(name);
    const std::string workgroup = toolkit::AsciiUpper(group);
    constexpr std::uint16_t kUnique = kActiveFlag;
    constexpr std::uint16_t kGroup = kGroupFlag | kActiveFlag;
    NodeStatus table;
    table.names = {
        {host, kWorkstationSuffix, kUnique},
        {workgroup, kWorkstationSuffix, kGroup},
        {host, kServerSuffix, kUnique},
        {workgroup, kBrowserElectionSuffix, kGroup},
    };
    table.unitId = mac;
    return table;
}

std::optional<Bytes> AnswerNodeStatusQuery(std::span<const std::uint8_t> packet,
                                           const NodeStatus& table) {
    const auto query = ParseNodeStatusQuery(packet);
    if (!query || !QuestionMatches(query->name, table)) return std::nullopt;
    return BuildNodeStatusResponse(*query, table);
}

bool ContainsMagicPacket(std::span<const std::uint8_t> payload, const UnitId& mac) {
    Bytes pattern(6, 0xFF);
    for (std::size_t i = 0; i < kMagicRepeats; ++i)
        pattern.insert(pattern.end(), mac.begin(), mac.end());
    return std::search(payload.begin(), payload.end(), pattern.begin(), pattern.end()) !=
           payload.end();
}

}  // namespace netcmd
