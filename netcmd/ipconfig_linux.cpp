#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "ipconfig.h"
#include "system_files.h"

namespace netcmd {
namespace {

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

bool IpForwarding() {
    const auto lines = ReadSmallTextFile("/proc/sys/net/ipv4/ip_forward");
    return lines && !lines->empty() && toolkit::Trim(lines->front()) == "1";
}

// The driver's name as the kernel reports it; the socket only carries the
// request and sends nothing.
std::string DriverName(const std::string& interfaceName) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    ifreq request{};
    std::strncpy(request.ifr_name, interfaceName.c_str(), IFNAMSIZ - 1);
    request.ifr_data = reinterpret_cast<char*>(&info);
    const bool ok = ioctl(fd, SIOCETHTOOL, &request) == 0;
    close(fd);
    if (!ok) return {};
    return std::string(info.driver, strnlen(info.driver, sizeof info.driver));
}

std::string Description(const std::string& interfaceName) {
    const std::string driver = DriverName(interfaceName);
    std::string text = "Carte réseau " + interfaceName;
    if (!driver.empty()) text += " (" + driver + ")";
    return text;
}

// A lease of dhclient (Debian's ifupdown) or of systemd-networkd.
std::optional<DhcpLease> FindLease(const Interface& link) {
    std::optional<DhcpLease> lease;
    std::error_code error;
    // Explicit increments with an error code: a folder that fails half-way
    // through ends the search instead of throwing.
    std::filesystem::directory_iterator it("/var/lib/dhcp", error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::filesystem::directory_entry& file = *it;
        const std::string name = file.path().filename().string();
        if (!name.starts_with("dhclient") || !name.ends_with(".leases")) continue;
        if (const auto lines = ReadSmallTextFile(file.path().string())) {
            if (auto found = ParseDhclientLeases(*lines, link.name)) lease = found;
        }
    }
    if (lease) return lease;
    const auto networkd =
        ReadSmallTextFile("/run/systemd/netif/leases/" + std::to_string(link.index));
    if (networkd) return ParseNetworkdLease(*networkd);
    return std::nullopt;
}

IpConfigAdapter MakeAdapter(const Interface& link,
                            const std::map<std::string, std::string>& gateways) {
    IpConfigAdapter adapter;
    adapter.name = link.name;
    adapter.description = Description(link.name);
    adapter.hardwareAddress = link.hardwareAddress;
    adapter.connected = link.running && !link.ipv4.empty();
    if (const auto lease = FindLease(link)) {
        adapter.dhcp = true;
        adapter.dhcpServer = lease->server;
    }
    if (!link.ipv6LinkLocal.empty()) adapter.linkLocal = link.ipv6LinkLocal.front();
    adapter.ipv4 = link.ipv4;
    adapter.ipv6 = link.ipv6Other;
    if (const auto found = gateways.find(link.name); found != gateways.end()) {
        adapter.gateway = found->second;
    }
    return adapter;
}

}  // namespace

IpConfigState GatherIpConfig() {
    IpConfigState state;
    state.hostName = HostName();
    state.ipForwarding = IpForwarding();
    if (const auto resolv = ReadSmallTextFile("/etc/resolv.conf")) {
        auto settings = ParseResolvConf(*resolv);
        state.dnsSuffix = settings.domain;
        state.dnsServers = std::move(settings.nameServers);
    }
    std::map<std::string, std::string> gateways;
    if (const auto routes = ReadSmallTextFile("/proc/net/route")) {
        gateways = ParseDefaultGateways(*routes);
    }
    for (const Interface& link : ListInterfaces()) {
        if (!link.loopback) state.adapters.push_back(MakeAdapter(link, gateways));
    }
    return state;
}

}  // namespace netcmd
