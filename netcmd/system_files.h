// Readers of the system files netcmd takes its state from. They work on the
// lines of the file, so they are tested on fixtures; anything they do not
// recognise is skipped.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "utils.h"

namespace netcmd {

struct ResolverSettings {
    std::string domain;                    // first word of the last "domain" or "search" line
    std::vector<std::string> nameServers;  // numeric addresses, in file order
};
ResolverSettings ParseResolvConf(const toolkit::TextList& lines);

// /proc/net/route: interface name -> gateway of its default route (the one
// with the lowest metric). Addresses are in the kernel's byte order, which is
// the order of the bytes in memory.
std::map<std::string, std::string> ParseDefaultGateways(const toolkit::TextList& lines);

struct DhcpLease {
    std::string server;  // dotted, empty when the lease does not name it
};
// The last lease of `interfaceName` in a dhclient lease file.
std::optional<DhcpLease> ParseDhclientLeases(const toolkit::TextList& lines,
                                             const std::string& interfaceName);
// A systemd-networkd lease file (one per interface index).
DhcpLease ParseNetworkdLease(const toolkit::TextList& lines);

}  // namespace netcmd
