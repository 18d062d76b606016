// Readers of the system files netcmd takes its state from. They work on the
// lines of the file, so they are tested on fixtures; anything they do not
// recognise is skipped.
#pragma once

#include <cstdint>
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
// The last lease of `interfaceName` in a dhclient lease file that has not
// expired at `now` (seconds since the epoch): dhclient keeps every lease it
// ever had, and one from another network years ago says nothing of today's.
// A lease without an "expire" line, or with "expire never", never expires.
std::optional<DhcpLease> ParseDhclientLeases(const toolkit::TextList& lines,
                                             const std::string& interfaceName, std::int64_t now);
// The time of a dhclient "expire" statement's words after "expire":
// "W YYYY/MM/DD HH:MM:SS;" in UTC or "epoch N;". nullopt for "never" and
// for what cannot be read.
std::optional<std::int64_t> ParseLeaseTime(const std::vector<std::string>& words);
// A systemd-networkd lease file (one per interface index); NetworkManager's
// older internal client wrote its leases in the same form.
DhcpLease ParseNetworkdLease(const toolkit::TextList& lines);
// NetworkManager's state file of one device (/run/NetworkManager/devices/
// <index>): its [dhcp4] group holds the options of the lease the device
// has; nullopt when the device holds none.
std::optional<DhcpLease> ParseNetworkManagerDevice(const toolkit::TextList& lines);

// Where the DHCP clients keep their leases. Tests point them at fixtures.
struct LeaseFolders {
    std::string dhclient = "/var/lib/dhcp";                  // dhclient*.leases (ifupdown)
    std::string networkd = "/run/systemd/netif/leases";      // <index>
    std::string networkManager = "/var/lib/NetworkManager";  // *-<name>.lease
    std::string networkManagerDevices = "/run/NetworkManager/devices";  // <index>
};

}  // namespace netcmd
