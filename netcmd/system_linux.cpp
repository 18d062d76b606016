#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <exception>
#include <map>

#include "platform/platform.h"
#include "system.h"

namespace netcmd {
namespace {

std::string Ipv4Text(const sockaddr* address) {
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    return text;
}

void AddLink(Interface& entry, const ifaddrs& row) {
    const auto* link = reinterpret_cast<const sockaddr_ll*>(row.ifa_addr);
    entry.index = static_cast<unsigned>(link->sll_ifindex);
    const std::size_t length = std::min<std::size_t>(link->sll_halen, sizeof link->sll_addr);
    entry.hardwareAddress.assign(link->sll_addr, link->sll_addr + length);
    entry.up = (row.ifa_flags & IFF_UP) != 0;
    entry.running = entry.up && (row.ifa_flags & IFF_RUNNING) != 0;
    entry.loopback = (row.ifa_flags & IFF_LOOPBACK) != 0;
}

void AddIpv6(Interface& entry, const ifaddrs& row) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(row.ifa_addr);
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    if (IN6_IS_ADDR_LINKLOCAL(&in6->sin6_addr)) {
        entry.ipv6LinkLocal.push_back(std::string(text) + "%" + std::to_string(in6->sin6_scope_id));
    } else {
        entry.ipv6Other.emplace_back(text);
    }
}

// An IPv4 address with a label ("eth0:1") belongs to the interface "eth0".
std::string LinkName(const char* name) {
    std::string text(name);
    return text.substr(0, text.find(':'));
}

}  // namespace

std::vector<Interface> ListInterfaces() {
    ifaddrs* rows = nullptr;
    if (getifaddrs(&rows) != 0) return {};
    std::map<std::string, Interface> byName;
    for (const ifaddrs* row = rows; row != nullptr; row = row->ifa_next) {
        if (row->ifa_addr == nullptr) continue;
        const int family = row->ifa_addr->sa_family;
        Interface& entry = byName[family == AF_INET ? LinkName(row->ifa_name) : row->ifa_name];
        if (family == AF_PACKET) {
            entry.name = row->ifa_name;
            AddLink(entry, *row);
        } else if (family == AF_INET && row->ifa_netmask != nullptr) {
            entry.ipv4.push_back({Ipv4Text(row->ifa_addr), Ipv4Text(row->ifa_netmask)});
        } else if (family == AF_INET6) {
            AddIpv6(entry, *row);
        }
    }
    freeifaddrs(rows);
    std::vector<Interface> list;
    for (auto& [name, entry] : byName) {
        // Only links are interfaces; an address whose link was not listed is dropped.
        if (!entry.name.empty()) list.push_back(std::move(entry));
    }
    std::sort(list.begin(), list.end(),
              [](const Interface& a, const Interface& b) { return a.index < b.index; });
    return list;
}

std::optional<toolkit::TextList> ReadSmallTextFile(const std::string& path, std::size_t maxBytes) {
    try {
        return toolkit::SplitLines(toolkit::platform::ReadRegularFile(path, maxBytes));
    } catch (const std::exception&) {  // FileError, or no memory for the lines
        return std::nullopt;
    }
}

}  // namespace netcmd
