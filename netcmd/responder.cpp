#include "responder.h"

#include <algorithm>
#include <string>

#include "utils.h"
#include "wakeonlan.h"

namespace netcmd {
namespace {

constexpr std::uint8_t kWorkstationSuffix = 0x00;
constexpr std::uint8_t kServerSuffix = 0x20;
constexpr std::uint8_t kBrowserElectionSuffix = 0x1E;

bool QuestionMatches(const std::array<std::uint8_t, 16>& question, const NodeStatus& table) {
    if (question == RawNetbiosName("*", 0, '\0')) return true;
    return std::any_of(table.names.begin(), table.names.end(), [&](const NodeName& entry) {
        return question == RawNetbiosName(entry.name, entry.suffix);
    });
}

}  // namespace

// Only the separated forms: the tables that hold a MAC in this text always
// write it so.
std::optional<UnitId> ParseMac(std::string_view text) {
    constexpr std::size_t kTextLength = 17;
    if (text.size() != kTextLength) return std::nullopt;
    return toolkit::ParseMac(text);
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
    const std::vector<std::uint8_t> pattern = toolkit::MagicPacket(mac);
    return std::search(payload.begin(), payload.end(), pattern.begin(), pattern.end()) !=
           payload.end();
}

}  // namespace netcmd
