// "ipconfig /all": the adapter listing of a French Windows, built from this
// machine's state. The listing is what the toolkit's ParseIpConfig reads, so
// its line order matters as much as its labels (see FormatIpConfig).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "system.h"
#include "system_files.h"
#include "utils.h"

namespace netcmd {

struct IpConfigAdapter {
    std::string name;
    std::string description;
    std::vector<std::uint8_t> hardwareAddress;
    // Up, with carrier and an IPv4 address; the others are listed as
    // disconnected media, without any address line.
    bool connected = false;
    bool dhcp = false;
    std::string dhcpServer;  // empty when no lease names one
    std::string linkLocal;   // "fe80::...%<index>", empty when none
    std::vector<Ipv4Address> ipv4;
    std::vector<std::string> ipv6;  // other IPv6 addresses
    std::string gateway;            // empty when no default route uses the adapter
};

struct IpConfigState {
    std::string hostName;
    std::string dnsSuffix;
    bool ipForwarding = false;
    std::vector<std::string> dnsServers;
    std::vector<IpConfigAdapter> adapters;
};

// The listing, one entry per line, without line ends.
toolkit::TextList FormatIpConfig(const IpConfigState& state);

// This namespace's state: host name, resolver, routes, leases, interfaces
// other than loopback in index order.
IpConfigState GatherIpConfig();

// The DHCP lease of an interface, from whichever client keeps one:
// NetworkManager's device state and systemd-networkd's lease (both the live
// state of the running system) first, then the lease files NetworkManager and
// dhclient keep. The first that names its server wins; a lease without one
// still tells that the address came from DHCP. Expired dhclient leases count
// for nothing (at `now`, seconds since the epoch), and a lease file belongs
// to the interface only when it names it whole ("lan" is not "br-lan").
// nullopt when none holds a lease for it.
std::optional<DhcpLease> FindLease(const LeaseFolders& folders, const std::string& name,
                                   unsigned index, std::int64_t now);

}  // namespace netcmd
