// The answering side of NetBIOS node status and Wake-on-LAN, as a simulated
// lab host plays it. Kept apart from the transport so it is tested on bytes.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "nbns.h"

namespace netcmd {

// "02:4b:52:00:00:11" or "02-4B-52-00-00-11"; nullopt for anything else.
std::optional<UnitId> ParseMac(std::string_view text);

// The table a workstation registers: its name for the workstation and server
// services, its workgroup as a group name and as the browser election group.
// The host's own name comes first, so the first unique name is its name.
NodeStatus HostNameTable(std::string_view name, std::string_view group, const UnitId& mac);

// The answer to a node-status query for the wildcard or one of the table's
// names; nullopt for any other packet, which is then ignored.
std::optional<Bytes> AnswerNodeStatusQuery(std::span<const std::uint8_t> packet,
                                           const NodeStatus& table);

// True when the payload holds, anywhere, six 0xFF bytes followed by `mac`
// repeated sixteen times.
bool ContainsMagicPacket(std::span<const std::uint8_t> payload, const UnitId& mac);

}  // namespace netcmd
