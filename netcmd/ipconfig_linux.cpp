#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

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

// Files of `folder` whose names `wanted` accepts, in name order.
template <typename Wanted>
std::vector<std::string> FilesIn(const std::string& folder, Wanted wanted) {
    std::vector<std::string> paths;
    std::error_code error;
    // Explicit increments with an error code: a folder that fails half-way
    // through ends the search instead of throwing.
    std::filesystem::directory_iterator it(folder, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (wanted(it->path().filename().string())) paths.push_back(it->path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// dhclient (Debian's ifupdown) keeps every lease it had; the last one of the
// interface is its own.
std::optional<DhcpLease> DhclientLease(const std::string& folder, const std::string& name) {
    std::optional<DhcpLease> lease;
    const auto isLeaseFile = [](const std::string& file) {
        return file.starts_with("dhclient") && file.ends_with(".leases");
    };
    for (const std::string& path : FilesIn(folder, isLeaseFile)) {
        if (const auto lines = ReadSmallTextFile(path)) {
            if (auto found = ParseDhclientLeases(*lines, name)) lease = found;
        }
    }
    return lease;
}

std::optional<DhcpLease> NetworkdLease(const std::string& path) {
    const auto lines = ReadSmallTextFile(path);
    if (!lines) return std::nullopt;
    return ParseNetworkdLease(*lines);
}

std::optional<DhcpLease> NetworkManagerDeviceLease(const std::string& path) {
    const auto lines = ReadSmallTextFile(path);
    if (!lines) return std::nullopt;
    return ParseNetworkManagerDevice(*lines);
}

// NetworkManager names its lease files "<client>-<connection>-<name>.lease":
// dhclient's own form, or key=value lines for its internal client (whose
// newer versions keep only the address there).
std::optional<DhcpLease> NetworkManagerFileLease(const std::string& folder,
                                                 const std::string& name) {
    const std::string suffix = "-" + name + ".lease";
    const auto isLeaseFile = [&suffix](const std::string& file) { return file.ends_with(suffix); };
    for (const std::string& path : FilesIn(folder, isLeaseFile)) {
        const auto lines = ReadSmallTextFile(path);
        if (!lines) continue;
        if (path.substr(folder.size() + 1).starts_with("dhclient")) {
            if (auto lease = ParseDhclientLeases(*lines, name)) return lease;
        } else {
            return ParseNetworkdLease(*lines);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<DhcpLease> FindLease(const LeaseFolders& folders, const std::string& name,
                                   unsigned index) {
    const std::string indexText = std::to_string(index);
    // A machine runs one DHCP client per interface, but an earlier client may
    // have left its files: the first lease that names its server wins, and a
    // lease without one still tells that the address came from DHCP.
    const std::optional<DhcpLease> found[] = {
        DhclientLease(folders.dhclient, name),
        NetworkdLease(folders.networkd + "/" + indexText),
        NetworkManagerDeviceLease(folders.networkManagerDevices + "/" + indexText),
        NetworkManagerFileLease(folders.networkManager, name),
    };
    std::optional<DhcpLease> lease;
    for (const auto& candidate : found) {
        if (candidate && !candidate->server.empty()) return candidate;
        if (!lease) lease = candidate;
    }
    return lease;
}

namespace {

IpConfigAdapter MakeAdapter(const Interface& link,
                            const std::map<std::string, std::string>& gateways) {
    IpConfigAdapter adapter;
    adapter.name = link.name;
    adapter.description = Description(link.name);
    adapter.hardwareAddress = link.hardwareAddress;
    adapter.connected = link.running && !link.ipv4.empty();
    if (const auto lease = FindLease(LeaseFolders{}, link.name, link.index)) {
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
