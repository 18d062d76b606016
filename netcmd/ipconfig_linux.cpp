#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
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
std::optional<DhcpLease> DhclientLease(const std::string& folder, const std::string& name,
                                       std::int64_t now) {
    std::optional<DhcpLease> lease;
    const auto isLeaseFile = [](const std::string& file) {
        return file.starts_with("dhclient") && file.ends_with(".leases");
    };
    for (const std::string& path : FilesIn(folder, isLeaseFile)) {
        if (const auto lines = ReadSmallTextFile(path)) {
            if (auto found = ParseDhclientLeases(*lines, name, now)) lease = found;
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

bool IsConnectionId(std::string_view text) {
    constexpr std::size_t kUuidLength = 36;
    if (text.size() != kUuidLength) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

// NetworkManager names its lease files "<client>-<connection>-<name>.lease",
// the connection being a UUID: the name is whatever follows it, whole, so
// that "lan" does not take the file of "br-lan".
bool IsLeaseFileOf(std::string_view file, std::string_view name) {
    constexpr std::string_view kExtension = ".lease";
    const std::size_t dash = file.find('-');
    if (!file.ends_with(kExtension) || dash == std::string_view::npos) return false;
    const std::string_view rest = file.substr(dash + 1, file.size() - dash - 1 - kExtension.size());
    constexpr std::size_t kUuidLength = 36;
    return rest.size() > kUuidLength + 1 && IsConnectionId(rest.substr(0, kUuidLength)) &&
           rest[kUuidLength] == '-' && rest.substr(kUuidLength + 1) == name;
}

// dhclient's own form, or key=value lines for NetworkManager's internal
// client (whose newer versions keep only the address there).
std::optional<DhcpLease> NetworkManagerFileLease(const std::string& folder, const std::string& name,
                                                 std::int64_t now) {
    const auto isLeaseFile = [&name](const std::string& file) { return IsLeaseFileOf(file, name); };
    for (const std::string& path : FilesIn(folder, isLeaseFile)) {
        const auto lines = ReadSmallTextFile(path);
        if (!lines) continue;
        if (path.substr(folder.size() + 1).starts_with("dhclient")) {
            if (auto lease = ParseDhclientLeases(*lines, name, now)) return lease;
        } else {
            return ParseNetworkdLease(*lines);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<DhcpLease> FindLease(const LeaseFolders& folders, const std::string& name,
                                   unsigned index, std::int64_t now) {
    const std::string indexText = std::to_string(index);
    // A machine runs one DHCP client per interface, but an earlier client may
    // have left its files: the live state comes first.
    const std::optional<DhcpLease> found[] = {
        NetworkManagerDeviceLease(folders.networkManagerDevices + "/" + indexText),
        NetworkdLease(folders.networkd + "/" + indexText),
        NetworkManagerFileLease(folders.networkManager, name, now),
        DhclientLease(folders.dhclient, name, now),
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
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    if (const auto lease = FindLease(LeaseFolders{}, link.name, link.index, now)) {
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
