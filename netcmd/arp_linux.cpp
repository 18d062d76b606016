#include "arp.h"
#include "system.h"

namespace netcmd {

std::vector<ArpInterface> ArpInterfaces() {
    std::vector<ArpInterface> list;
    for (const Interface& link : ListInterfaces()) {
        if (link.loopback || link.ipv4.empty()) continue;
        list.push_back({link.name, link.index, link.ipv4.front().address});
    }
    return list;
}

}  // namespace netcmd
