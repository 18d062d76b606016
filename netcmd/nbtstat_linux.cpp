#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <filesystem>
#include <random>

#include "nbtstat.h"
#include "system.h"
#include "tools.h"

namespace netcmd {
namespace {

// A silent address costs the caller kQueryTries * kQueryTimeout; a host on
// the local network answers within a few milliseconds.
constexpr int kQueryTries = 2;
constexpr std::chrono::milliseconds kQueryTimeout{300};

class Socket {
  public:
    Socket() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0) close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Fd() const { return fd_; }

  private:
    int fd_;
};

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
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        return static_cast<std::uint16_t>(ticks & 0xFFFF);
    }
}

bool FromTarget(const sockaddr_in& from, const sockaddr_in& target) {
    return from.sin_family == AF_INET && from.sin_addr.s_addr == target.sin_addr.s_addr &&
           from.sin_port == target.sin_port;
}

enum class Wait { Answer, Silence, Refused };

// Reads datagrams until a valid answer or the deadline; anything else that
// arrives is dropped.
Wait AwaitAnswer(int fd, const sockaddr_in& target, std::uint16_t id,
                 std::chrono::steady_clock::time_point deadline, std::optional<NodeStatus>& out) {
    Bytes buffer(kMaxNbnsPacket + 1);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return Wait::Silence;
        pollfd watch{fd, POLLIN, 0};
        const int ready = poll(&watch, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) return Wait::Silence;
        if (ready <= 0) continue;
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = recvfrom(fd, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
        // The host is there but nothing listens on the NetBIOS port.
        if (got < 0 && errno == ECONNREFUSED) return Wait::Refused;
        if (got < 0 || static_cast<std::size_t>(got) > kMaxNbnsPacket) continue;
        if (!FromTarget(from, target)) continue;
        out = ParseNodeStatusResponse(
            std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got)), id);
        if (out) return Wait::Answer;
    }
}

}  // namespace

NodeStatusAnswer QueryNodeStatus(const std::string& address) {
    NodeStatusAnswer answer;
    Socket udp;
    if (udp.Fd() < 0) {
        answer.error = std::string("impossible d'ouvrir un socket UDP : ") + std::strerror(errno);
        return answer;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(kNbnsPort);
    if (inet_pton(AF_INET, address.c_str(), &target.sin_addr) != 1) return answer;
    // Connecting a datagram socket sends nothing; it picks the route and the
    // local address, and has the kernel drop datagrams from anyone else.
    if (connect(udp.Fd(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        return answer;  // no route: nobody to ask
    }
    sockaddr_in local{};
    socklen_t localLength = sizeof local;
    if (getsockname(udp.Fd(), reinterpret_cast<sockaddr*>(&local), &localLength) == 0) {
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
        answer.localAddress = text;
        answer.adapterName = AdapterOf(answer.localAddress);
    }
    const std::uint16_t id = NewTransactionId();
    const Bytes query = BuildNodeStatusQuery(id);
    for (int attempt = 0; attempt < kQueryTries; ++attempt) {
        if (send(udp.Fd(), query.data(), query.size(), 0) < 0 && errno != ECONNREFUSED) break;
        const auto deadline = std::chrono::steady_clock::now() + kQueryTimeout;
        const Wait result = AwaitAnswer(udp.Fd(), target, id, deadline, answer.status);
        if (result != Wait::Silence) break;
    }
    return answer;
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
