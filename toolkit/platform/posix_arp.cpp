// ARP before the echo requests of a large sweep of the local link, asked
// from one packet socket (which needs the raw-socket right).
#include "platform/posix_arp.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/arp_packet.h"
#include "platform/echo_window.h"
#include "platform/posix_fd.h"
#include "platform/posix_neigh.h"

namespace toolkit::platform {
namespace {

using Clock = std::chrono::steady_clock;

// A host of the link answers ARP within a millisecond or so; the echo it
// would be sent gets 10 ms for ARP and echo together. Two tries of this long
// are more than any host that the echo request alone could have found needs.
constexpr auto kArpWait = std::chrono::milliseconds(100);
constexpr int kArpTries = 2;
// Requests sent in a row before the replies already queued are read.
constexpr std::size_t kSendBurst = 64;
constexpr int kFullQueueRetries = 200;

std::uint32_t AddressOf(const sockaddr* address) {
    sockaddr_in inet{};
    std::memcpy(&inet, address, sizeof inet);
    return inet.sin_addr.s_addr;
}

// The IPv4 addresses of the interfaces that are up and speak ARP.
std::vector<arp::Link> ArpLinks() {
    std::vector<arp::Link> links;
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) return links;
    std::map<std::string, arp::MacAddress> macs;
    for (const ifaddrs* item = interfaces; item; item = item->ifa_next) {
        if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_PACKET) continue;
        sockaddr_ll hardware{};
        std::memcpy(&hardware, item->ifa_addr, sizeof hardware);
        if (hardware.sll_halen != 6) continue;
        std::copy_n(hardware.sll_addr, 6, macs[item->ifa_name].begin());
    }
    for (const ifaddrs* item = interfaces; item; item = item->ifa_next) {
        if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET ||
            item->ifa_netmask == nullptr || (item->ifa_flags & IFF_UP) == 0 ||
            (item->ifa_flags & (IFF_LOOPBACK | IFF_NOARP)) != 0 || !macs.contains(item->ifa_name)) {
            continue;
        }
        links.push_back({static_cast<int>(if_nametoindex(item->ifa_name)), macs[item->ifa_name],
                         AddressOf(item->ifa_addr), AddressOf(item->ifa_netmask)});
    }
    freeifaddrs(interfaces);
    return links;
}

// The ARP requests of one sweep and the replies they get.
class ArpBatch {
  public:
    ArpBatch(int fd, const std::vector<arp::Link>& links) : fd_(fd), links_(links) {}

    void Add(std::uint32_t target, std::size_t link) {
        if (waiting_.try_emplace(target, link).second) targets_.push_back(target);
    }

    void Round() {
        SendWaiting();
        const Clock::time_point deadline = Clock::now() + kArpWait;
        while (!waiting_.empty()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return;
            pollfd watch{fd_, POLLIN, 0};
            if (poll(&watch, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) return;
            ReadReplies();
        }
    }

    // A request to every target not answered yet.
    void SendWaiting() {
        std::size_t sent = 0;
        for (const std::uint32_t target : targets_) {
            if (!waiting_.contains(target)) continue;
            Send(target);
            if (++sent % kSendBurst == 0) ReadReplies();
        }
    }

    bool Answered(std::uint32_t target) const { return answered_.contains(target); }
    bool Done() const { return waiting_.empty(); }

  private:
    // A full transmit queue is waited out a little; a request that still
    // cannot leave stays unanswered.
    void Send(std::uint32_t target) {
        const arp::Link& link = links_[waiting_.at(target)];
        const arp::Packet packet = arp::Request(link.mac, link.address, target);
        sockaddr_ll to{};
        to.sll_family = AF_PACKET;
        to.sll_protocol = htons(ETH_P_ARP);
        to.sll_ifindex = link.index;
        to.sll_halen = 6;
        std::fill_n(to.sll_addr, 6, 0xff);
        for (int tries = 0; tries < kFullQueueRetries; ++tries) {
            if (sendto(fd_, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                       sizeof to) >= 0) {
                return;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS && errno != EINTR)
                return;
            pollfd watch{fd_, POLLOUT, 0};
            poll(&watch, 1, 1);
            ReadReplies();
        }
    }

    void ReadReplies() {
        std::array<std::uint8_t, 128> buffer{};
        for (;;) {
            const ssize_t got = recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (got < 0) return;
            const auto sender =
                arp::ReplySender(std::span(buffer.data(), static_cast<std::size_t>(got)));
            if (sender && waiting_.erase(*sender) > 0) answered_.insert(*sender);
        }
    }

    int fd_;
    const std::vector<arp::Link>& links_;
    std::vector<std::uint32_t> targets_;
    std::unordered_map<std::uint32_t, std::size_t> waiting_;  // target -> link
    std::unordered_set<std::uint32_t> answered_;
};

}  // namespace

namespace {

// Asks ARP of the addresses of the link, `wait` telling whether to wait for
// the answers; nullopt when no packet socket can be opened.
std::optional<std::vector<bool>> AskArp(const std::vector<std::uint32_t>& addresses, bool wait) {
    std::vector<bool> answered(addresses.size(), false);
    const std::vector<arp::Link> links = ArpLinks();
    if (links.empty() || addresses.empty()) return answered;
    const UniqueFd packets(
        socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, htons(ETH_P_ARP)));
    if (packets.Fd() < 0) return std::nullopt;
    ArpBatch batch(packets.Fd(), links);
    for (const std::uint32_t address : addresses) {
        if (const auto link = arp::LinkOf(links, address)) batch.Add(address, *link);
    }
    if (!wait) {
        batch.SendWaiting();
        return answered;
    }
    for (int attempt = 0; attempt < kArpTries && !batch.Done(); ++attempt) batch.Round();
    for (std::size_t i = 0; i < addresses.size(); ++i) answered[i] = batch.Answered(addresses[i]);
    return answered;
}

}  // namespace

std::vector<bool> ArpAnswers(const std::vector<std::uint32_t>& addresses) {
    return AskArp(addresses, true).value_or(std::vector<bool>(addresses.size(), false));
}

// The kernel takes the answers in whether or not anyone reads them: an
// answer to a request from this machine updates the entry of its address.
void SendArpRequests(const std::vector<std::uint32_t>& addresses) {
    AskArp(addresses, false);
}

std::vector<bool> WorthAnEcho(const std::vector<std::uint32_t>& addresses) {
    std::vector<bool> worth(addresses.size(), true);
    const std::vector<arp::Link> links = ArpLinks();
    const auto neighbours = DumpNeighbours();
    if (links.empty() || !neighbours) return worth;
    std::unordered_set<std::uint32_t> resolved;
    std::size_t held = 0;
    for (const Neighbour& entry : *neighbours) {
        if (HoldsRoom(entry)) ++held;
        if (IsResolved(entry)) resolved.insert(entry.address);
    }
    std::vector<std::pair<std::size_t, std::size_t>> unresolved;  // address index, link
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const auto link = arp::LinkOf(links, addresses[i]);
        if (link && !resolved.contains(addresses[i])) unresolved.emplace_back(i, *link);
    }
    // The echo requests fit in the table at once: nothing to ask first.
    if (unresolved.size() <= RoomOf({held, NeighbourLimit()})) return worth;

    const UniqueFd packets(
        socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, htons(ETH_P_ARP)));
    if (packets.Fd() < 0) return worth;  // no raw-socket right: the echo requests wait their turn
    ArpBatch batch(packets.Fd(), links);
    for (const auto& [index, link] : unresolved) batch.Add(addresses[index], link);
    for (int attempt = 0; attempt < kArpTries && !batch.Done(); ++attempt) batch.Round();
    for (const auto& [index, link] : unresolved) worth[index] = batch.Answered(addresses[index]);
    return worth;
}

}  // namespace toolkit::platform
