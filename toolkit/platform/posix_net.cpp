// Names and addresses on POSIX: the resolver and the interface address table.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform.h"

namespace toolkit::platform {

namespace {

std::uint32_t AddressOf(const sockaddr* address) {
    if (address == nullptr || address->sa_family != AF_INET) return 0;
    sockaddr_in inet{};
    std::memcpy(&inet, address, sizeof inet);
    return inet.sin_addr.s_addr;
}

HostEntry EntryOf(const hostent& host) {
    HostEntry entry;
    entry.name = host.h_name ? host.h_name : "";
    for (char** alias = host.h_aliases; alias && *alias; ++alias)
        entry.aliases.emplace_back(*alias);
    return entry;
}

}  // namespace

std::optional<std::uint32_t> ResolveIPv4(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    const std::uint32_t address = AddressOf(found->ai_addr);
    freeaddrinfo(found);
    return address;
}

// gethostbyaddr_r rather than getnameinfo: only the host entry carries the
// alias list that AliasByAddress gives.
std::optional<HostEntry> ReverseLookup(std::uint32_t addressNetworkOrder) {
    in_addr address{};
    address.s_addr = addressNetworkOrder;
    std::vector<char> buffer(2048);
    for (;;) {
        hostent host{};
        hostent* result = nullptr;
        int lookupError = 0;
        const int status = gethostbyaddr_r(&address, sizeof address, AF_INET, &host, buffer.data(),
                                           buffer.size(), &result, &lookupError);
        if (status == ERANGE && buffer.size() < 1024 * 1024) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0 || result == nullptr) return std::nullopt;
        return EntryOf(*result);
    }
}

std::vector<AddressRow> LocalAddressRows() {
    std::vector<AddressRow> rows;
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) return rows;
    for (const ifaddrs* item = interfaces; item; item = item->ifa_next) {
        if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET) continue;
        rows.push_back({AddressOf(item->ifa_addr), AddressOf(item->ifa_netmask)});
    }
    freeifaddrs(interfaces);
    return rows;
}

std::string LocalHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

}  // namespace toolkit::platform
