#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <linux/neighbour.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <unordered_map>

#include "nbtstat.h"
#include "platform/posix_fd.h"
#include "platform/posix_neigh.h"
#include "system.h"
#include "tools.h"

namespace netcmd {
namespace {

// A silent address costs the caller kQueryTries * kQueryTimeout, however many
// addresses are asked; a host on the local network answers within a few
// milliseconds.
constexpr int kQueryTries = 2;
constexpr std::chrono::milliseconds kQueryTimeout{300};
// Queries sent in a row before the answers already queued are read, so that
// the receive buffer does not overflow while a long list goes out.
constexpr std::size_t kSendBurst = 64;
// A datagram to a silent address of the local link waits in the kernel for
// its neighbour's resolution (3 s) and is charged to its socket's send buffer
// meanwhile: a few hundred of them fill it. Rather than wait for the kernel
// to give them up, the batch opens another socket; this many at most.
constexpr std::size_t kMaxSockets = 64;
constexpr std::uint8_t kDestinationUnreachable = 3;
constexpr std::uint8_t kPortUnreachable = 3;

using Clock = std::chrono::steady_clock;
using toolkit::platform::UniqueFd;

std::string AdapterOf(const std::string& localAddress) {
    for (const Interface& link : ListInterfaces()) {
        for (const Ipv4Address& entry : link.ipv4) {
            if (entry.address == localAddress) return link.name;
        }
    }
    return {};
}

// random_device throws when the system offers no entropy source; a query
// must still go out, and the clock differs enough from one query to the next.
std::uint16_t NewTransactionId() {
    try {
        std::random_device source;
        return static_cast<std::uint16_t>(source() & 0xFFFF);
    } catch (const std::exception&) {
        const auto ticks = Clock::now().time_since_epoch().count();
        return static_cast<std::uint16_t>(ticks & 0xFFFF);
    }
}

// The local address and adapter that the kernel picks towards `target`:
// connecting a datagram socket sends nothing. False when there is no route.
bool FindRoute(int routeFd, const sockaddr_in& target, NodeStatusAnswer& answer,
               std::map<std::string, std::string>& adapters) {
    if (connect(routeFd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        return false;
    }
    sockaddr_in local{};
    socklen_t localLength = sizeof local;
    if (getsockname(routeFd, reinterpret_cast<sockaddr*>(&local), &localLength) == 0) {
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
        answer.localAddress = text;
        const auto known = adapters.find(answer.localAddress);
        answer.adapterName = known != adapters.end()
                                 ? known->second
                                 : adapters[answer.localAddress] = AdapterOf(answer.localAddress);
    }
    return true;
}

UniqueFd OpenQuerySocket() {
    UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.Fd() >= 0) {
        const int on = 1;
        setsockopt(fd.Fd(), IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    }
    return fd;
}

// The addresses whose neighbour entry has failed: the kernel asked them on
// the link a moment ago and none answered, so no query could reach them now.
std::set<std::uint32_t> FailedNeighbours() {
    std::set<std::uint32_t> failed;
    if (const auto entries = toolkit::platform::DumpNeighbours()) {
        for (const auto& entry : *entries) {
            if (entry.state & NUD_FAILED) failed.insert(entry.address);
        }
    }
    return failed;
}

// The queries of one list, from unconnected sockets (one, and more while
// datagrams waiting for their neighbours fill them). An answer counts when it
// comes from the asked address's port 137 with that query's transaction ID;
// a "port unreachable" about a query (IP_RECVERR) settles its address at
// once: the host is there, but nothing listens on the NetBIOS port.
class QueryBatch {
  public:
    QueryBatch(UniqueFd first, std::vector<NodeStatusAnswer>& answers) : answers_(answers) {
        const int on = 1;
        setsockopt(first.Fd(), IPPROTO_IP, IP_RECVERR, &on, sizeof on);
        fds_.push_back(std::move(first));
    }

    void Add(std::size_t answerIndex, const sockaddr_in& target) {
        const auto [place, added] = byAddress_.try_emplace(target.sin_addr.s_addr, queries_.size());
        if (added) {
            queries_.push_back(
                {target, static_cast<std::uint16_t>(firstId_ + queries_.size()), {}});
        }
        queries_[place->second].answerIndexes.push_back(answerIndex);
    }

    // Sends every unsettled query once, then reads until each is settled or
    // the time-out has passed since the last one left.
    void Round() {
        std::size_t sent = 0;
        for (Query& query : queries_) {
            if (query.settled) continue;
            SendOne(query);
            if (++sent % kSendBurst == 0) ReadAll();
        }
        const Clock::time_point deadline = Clock::now() + kQueryTimeout;
        while (Unsettled() > 0) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return;
            std::vector<pollfd> watch;
            for (const UniqueFd& fd : fds_) watch.push_back({fd.Fd(), POLLIN, 0});  // and POLLERR
            if (poll(watch.data(), watch.size(), static_cast<int>(left)) < 0 && errno != EINTR) {
                return;
            }
            ReadAll();
        }
    }

    std::size_t Sockets() const { return fds_.size(); }

    std::size_t Unsettled() const {
        return static_cast<std::size_t>(std::count_if(queries_.begin(), queries_.end(),
                                                      [](const Query& q) { return !q.settled; }));
    }

  private:
    struct Query {
        sockaddr_in target{};
        std::uint16_t id = 0;
        std::vector<std::size_t> answerIndexes;
        bool settled = false;
    };

    // A full send buffer moves the batch to a new socket, or, past
    // kMaxSockets, is waited out; a refusal reported for an earlier query (a
    // pending socket error) is read, and the query sent again.
    void SendOne(Query& query) {
        const Bytes packet = BuildNodeStatusQuery(query.id);
        for (int tries = 0; tries < 100; ++tries) {
            const int fd = fds_.back().Fd();
            if (sendto(fd, packet.data(), packet.size(), 0,
                       reinterpret_cast<const sockaddr*>(&query.target),
                       sizeof query.target) >= 0) {
                return;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (fds_.size() >= kMaxSockets || !AddSocket()) {
                    pollfd watch{fd, POLLOUT, 0};
                    poll(&watch, 1, 10);
                }
            } else if (errno != ECONNREFUSED && errno != EINTR) {
                return;  // this one cannot go out; it stays silent
            }
            ReadAll();
        }
    }

    bool AddSocket() {
        UniqueFd fd = OpenQuerySocket();
        if (fd.Fd() < 0) return false;
        fds_.push_back(std::move(fd));
        return true;
    }

    void ReadAll() {
        for (const UniqueFd& fd : fds_) {
            ReadAnswers(fd.Fd());
            ReadErrors(fd.Fd());
        }
    }

    Query* Find(std::uint32_t address) {
        const auto found = byAddress_.find(address);
        return found == byAddress_.end() ? nullptr : &queries_[found->second];
    }

    void ReadAnswers(int fd) {
        Bytes buffer(kMaxNbnsPacket + 1);
        for (std::size_t errors = 0;;) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t got =
                recvfrom(fd, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT,
                         reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || ++errors > kSendBurst) return;
                continue;  // a pending error report, handed out once: read on
            }
            if (static_cast<std::size_t>(got) > kMaxNbnsPacket || from.sin_family != AF_INET ||
                from.sin_port != htons(kNbnsPort)) {
                continue;
            }
            Query* query = Find(from.sin_addr.s_addr);
            if (query == nullptr || query->settled) continue;
            const auto status = ParseNodeStatusResponse(
                std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got)),
                query->id);
            if (!status) continue;
            query->settled = true;
            for (const std::size_t index : query->answerIndexes) answers_[index].status = status;
        }
    }

    void ReadErrors(int fd) {
        for (;;) {
            sockaddr_in original{};
            char control[512];
            char data[64];
            iovec part{data, sizeof data};
            msghdr message{};
            message.msg_name = &original;
            message.msg_namelen = sizeof original;
            message.msg_iov = &part;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            if (recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) return;
            for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
                 header = CMSG_NXTHDR(&message, header)) {
                if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_RECVERR) continue;
                sock_extended_err error{};
                std::memcpy(&error, CMSG_DATA(header), sizeof error);
                if (error.ee_origin != SO_EE_ORIGIN_ICMP ||
                    error.ee_type != kDestinationUnreachable || error.ee_code != kPortUnreachable) {
                    continue;
                }
                if (Query* query = Find(original.sin_addr.s_addr)) query->settled = true;
            }
        }
    }

    std::vector<UniqueFd> fds_;
    std::vector<NodeStatusAnswer>& answers_;
    std::vector<Query> queries_;
    std::unordered_map<std::uint32_t, std::size_t> byAddress_;
    std::uint16_t firstId_ = NewTransactionId();
};

}  // namespace

NodeStatusAnswer QueryNodeStatus(const std::string& address) {
    return QueryNodeStatusMany({address}).front();
}

std::vector<NodeStatusAnswer> QueryNodeStatusMany(const std::vector<std::string>& addresses) {
    std::vector<NodeStatusAnswer> answers(addresses.size());
    UniqueFd udp(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const UniqueFd route(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (udp.Fd() < 0 || route.Fd() < 0) {
        const std::string error =
            std::string("impossible d'ouvrir un socket UDP : ") + std::strerror(errno);
        for (NodeStatusAnswer& answer : answers) answer.error = error;
        return answers;
    }
    QueryBatch batch(std::move(udp), answers);
    std::map<std::string, std::string> adapters;
    const std::set<std::uint32_t> failed = FailedNeighbours();
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(kNbnsPort);
        if (inet_pton(AF_INET, addresses[i].c_str(), &target.sin_addr) != 1) continue;
        if (failed.contains(target.sin_addr.s_addr)) continue;
        // No route: nobody to ask.
        if (FindRoute(route.Fd(), target, answers[i], adapters)) batch.Add(i, target);
    }
    for (int attempt = 0; attempt < kQueryTries && batch.Unsettled() > 0; ++attempt) batch.Round();
    return answers;
}

NodeStatusAnswer PrimaryAdapter() {
    NodeStatusAnswer answer;
    for (const Interface& link : ListInterfaces()) {
        if (!link.loopback && link.running && !link.ipv4.empty()) {
            answer.adapterName = link.name;
            answer.localAddress = link.ipv4.front().address;
            break;
        }
    }
    return answer;
}

std::vector<CacheEntry> LoadCache(std::int64_t now) {
    const std::string path = toolkit::ScratchDir() + kCacheFileName;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return {};
    return LiveCacheEntries(toolkit::LoadLines(path), now);
}

void SaveCache(const std::vector<CacheEntry>& cache) {
    toolkit::SaveLines(toolkit::ScratchDir() + kCacheFileName, FormatCacheLines(cache));
}

}  // namespace netcmd
