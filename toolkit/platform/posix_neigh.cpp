// The kernel's IPv4 neighbour table, read through rtnetlink: how many entries
// it cannot reclaim now, which hosts it has resolved, and the limit past
// which it refuses new entries.
#include "platform/posix_neigh.h"

#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <fstream>

#include "platform/platform.h"
#include "platform/posix_fd.h"

namespace toolkit::platform {
namespace {

// The kernel's default gc_thresh3; the setting itself is only visible from
// the machine's first network namespace.
constexpr std::size_t kDefaultLimit = 1024;
constexpr const char* kLimitSetting = "/proc/sys/net/ipv4/neigh/default/gc_thresh3";

// The kernel gives ages in clock ticks (USER_HZ).
std::chrono::milliseconds TicksToMs(std::uint32_t ticks) {
    static const long perSecond = sysconf(_SC_CLK_TCK);
    const long hz = perSecond > 0 ? perSecond : 100;
    return std::chrono::milliseconds(static_cast<long long>(ticks) * 1000 / hz);
}

void ReadAttribute(const rtattr* attribute, Neighbour& entry) {
    const auto size = RTA_PAYLOAD(attribute);
    const void* data = RTA_DATA(attribute);
    if (attribute->rta_type == NDA_DST && size == sizeof entry.address) {
        std::memcpy(&entry.address, data, sizeof entry.address);
    } else if (attribute->rta_type == NDA_LLADDR && size == 6) {
        entry.mac.emplace();
        std::memcpy(entry.mac->data(), data, 6);
    } else if (attribute->rta_type == NDA_CACHEINFO && size >= sizeof(nda_cacheinfo)) {
        nda_cacheinfo info{};
        std::memcpy(&info, data, sizeof info);
        entry.confirmedAgo = TicksToMs(info.ndm_confirmed);
    }
}

Neighbour EntryOf(const nlmsghdr* message) {
    const auto* body = static_cast<const ndmsg*>(NLMSG_DATA(message));
    Neighbour entry{0, body->ndm_state, std::nullopt, std::nullopt};
    auto length = static_cast<unsigned>(RTM_PAYLOAD(message));
    for (auto* attribute = RTM_RTA(body); RTA_OK(attribute, length);
         attribute = RTA_NEXT(attribute, length)) {
        ReadAttribute(attribute, entry);
    }
    return entry;
}

}  // namespace

std::optional<std::vector<Neighbour>> DumpNeighbours() {
    const UniqueFd netlink(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (netlink.Fd() < 0) return std::nullopt;
    struct {
        nlmsghdr header;
        ndmsg body;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.body.ndm_family = AF_INET;
    if (send(netlink.Fd(), &request, sizeof request, 0) < 0) return std::nullopt;

    std::vector<Neighbour> entries;
    alignas(nlmsghdr) std::array<char, 32768> buffer{};
    for (;;) {
        const ssize_t got = recv(netlink.Fd(), buffer.data(), buffer.size(), 0);
        if (got <= 0) return std::nullopt;
        auto length = static_cast<unsigned>(got);
        for (auto* message = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(message, length);
             message = NLMSG_NEXT(message, length)) {
            if (message->nlmsg_type == NLMSG_DONE) return entries;
            if (message->nlmsg_type == NLMSG_ERROR) return std::nullopt;
            if (message->nlmsg_type == RTM_NEWNEIGH &&
                message->nlmsg_len >= NLMSG_LENGTH(sizeof(ndmsg))) {
                entries.push_back(EntryOf(message));
            }
        }
    }
}

std::size_t NeighbourLimit() {
    std::ifstream setting(kLimitSetting);
    std::size_t limit = 0;
    return setting >> limit && limit > 0 ? limit : kDefaultLimit;
}

// Failed, static and no-ARP entries cost nothing: the kernel reclaims the
// first when it needs room and does not count the others.
bool HoldsRoom(const Neighbour& entry) {
    return (entry.state & (NUD_FAILED | NUD_NOARP | NUD_PERMANENT)) == 0;
}

bool IsResolved(const Neighbour& entry) {
    return (entry.state & (NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT)) != 0;
}

std::optional<std::vector<NeighbourRow>> NeighbourTable() {
    const auto entries = DumpNeighbours();
    if (!entries) return std::nullopt;
    std::vector<NeighbourRow> rows;
    rows.reserve(entries->size());
    for (const Neighbour& entry : *entries) {
        NeighbourRow row{
            entry.address, {}, IsResolved(entry) && entry.mac.has_value(), entry.confirmedAgo};
        if (entry.mac) row.mac = *entry.mac;
        rows.push_back(row);
    }
    return rows;
}

std::optional<NeighbourLoad> ReadNeighbourLoad() {
    const auto entries = DumpNeighbours();
    if (!entries) return std::nullopt;
    NeighbourLoad load{0, NeighbourLimit()};
    for (const Neighbour& entry : *entries) {
        if (HoldsRoom(entry)) ++load.held;
    }
    return load;
}

}  // namespace toolkit::platform
