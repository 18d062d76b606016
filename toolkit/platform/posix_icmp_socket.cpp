// Linux ICMP sockets. A datagram ICMP socket needs no privilege where
// net.ipv4.ping_group_range admits our group; otherwise a raw socket is tried,
// which needs CAP_NET_RAW.

// struct timespec, which linux/errqueue.h uses without declaring it.
#include <time.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/icmp_packet.h"
#include "platform/posix_icmp_socket.h"

namespace toolkit::platform {
namespace {

constexpr int kSocketBufferBytes = 1 << 20;  // the kernel caps it at its own maximum
constexpr std::size_t kPacketBufferSize = 1500;
constexpr std::size_t kControlBufferSize = 512;
constexpr int kMaxReadErrors = 8;

// Why a refused datagram ICMP socket may still leave a raw socket usable.
bool RawSocketWorthTrying(int error) {
    switch (error) {
        case EACCES:           // our group lies outside net.ipv4.ping_group_range
        case EPERM:            // a security module refuses unprivileged ICMP sockets
        case EAFNOSUPPORT:     // no datagram ICMP sockets in this kernel's IPv4 stack
        case EPROTONOSUPPORT:  // a kernel older than datagram ICMP sockets
            return true;
        default:  // out of descriptors or memory: a raw socket would fail the same way
            return false;
    }
}

void SetOption(int fd, int level, int name, const void* value, socklen_t size) {
    // Best effort: each option only improves the verdicts, none is required.
    static_cast<void>(setsockopt(fd, level, name, value, size));
}

void EnlargeBuffers(int fd) {
    SetOption(fd, SOL_SOCKET, SO_SNDBUF, &kSocketBufferBytes, sizeof kSocketBufferBytes);
    SetOption(fd, SOL_SOCKET, SO_RCVBUF, &kSocketBufferBytes, sizeof kSocketBufferBytes);
}

sockaddr_in SocketAddress(std::uint32_t address) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = address;
    return result;
}

// The local stack reports some failures as ICMP errors from this machine
// itself: once the kernel gives up asking who holds an address (after about
// 3 s), every request queued for it comes back "host unreachable" from our own
// address, and a batch started while another probe's query was pending hears
// that within its time-out. Only another machine's report tells something of
// the host.
bool IsOwnAddress(std::uint32_t address) {
    if ((ntohl(address) >> 24) == 127) return true;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool own = false;
    for (const ifaddrs* entry = list; entry != nullptr && !own; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        sockaddr_in local{};
        std::memcpy(&local, entry->ifa_addr, sizeof local);
        own = local.sin_addr.s_addr == address;
    }
    freeifaddrs(list);
    return own;
}

// An error message (not an echo reply) that this machine sent itself. Only
// called on a packet that icmp::ReadRawPacket accepted.
bool IsOwnRawReport(icmp::Bytes packet) {
    const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0f) * 4;
    if (packet[headerSize] == icmp::kEchoReply) return false;
    std::uint32_t sender = 0;
    std::memcpy(&sender, packet.data() + 12, sizeof sender);  // the IP source
    return IsOwnAddress(sender);
}

void ReadRawPackets(const IcmpSocket& socket, EchoWindow& window) {
    std::array<std::uint8_t, kPacketBufferSize> buffer{};
    for (int errors = 0; errors < kMaxReadErrors;) {
        const ssize_t size = recv(socket.Fd(), buffer.data(), buffer.size(), 0);
        if (size < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;
            if (errno != EINTR) ++errors;
            continue;
        }
        const icmp::Bytes packet(buffer.data(), static_cast<std::size_t>(size));
        const auto answer = icmp::ReadRawPacket(packet);
        // Other programs' pings reach every raw socket too; the identifier tells ours.
        if (answer && answer->identifier == socket.Identifier() && !IsOwnRawReport(packet)) {
            window.Answer(answer->sequence, answer->destination);
        }
    }
}

// Reads the socket's error reports: after reading, the kernel posts the next
// report's error on the socket, and none once the queue is empty.
void ReadErrorQueue(const IcmpSocket& socket, EchoWindow& window) {
    std::array<std::uint8_t, kPacketBufferSize> buffer{};
    alignas(cmsghdr) std::array<char, kControlBufferSize> control{};
    for (int errors = 0; errors < kMaxReadErrors;) {
        sockaddr_in from{};
        iovec data{buffer.data(), buffer.size()};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        const ssize_t size = recvmsg(socket.Fd(), &message, MSG_ERRQUEUE);
        if (size < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;
            if (errno != EINTR) ++errors;
            continue;
        }
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
             header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_RECVERR) continue;
            sock_extended_err report{};
            std::memcpy(&report, CMSG_DATA(header), sizeof report);
            // Errors the local stack makes up (a message too long...) are no answer.
            if (report.ee_origin != SO_EE_ORIGIN_ICMP || !icmp::ReportsOnRequest(report.ee_type)) {
                continue;
            }
            sockaddr_in offender{};  // the report's sender follows the report
            if (header->cmsg_len < CMSG_LEN(sizeof report + sizeof offender)) continue;
            std::memcpy(&offender, CMSG_DATA(header) + sizeof report, sizeof offender);
            if (IsOwnAddress(offender.sin_addr.s_addr)) continue;
            const auto answer = icmp::ReadQuotedRequest(
                icmp::Bytes(buffer.data(), static_cast<std::size_t>(size)), from.sin_addr.s_addr);
            if (answer) window.Answer(answer->sequence, answer->destination);
        }
    }
}

void ReadEchoReplies(const IcmpSocket& socket, EchoWindow& window) {
    std::array<std::uint8_t, kPacketBufferSize> buffer{};
    for (int errors = 0; errors < kMaxReadErrors;) {
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t size = recvfrom(socket.Fd(), buffer.data(), buffer.size(), 0,
                                      reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;
            // A pending error report is handed out once by any call; it is
            // read properly from the error queue.
            if (errno != EINTR) ++errors;
            continue;
        }
        const auto answer = icmp::ReadEchoReply(
            icmp::Bytes(buffer.data(), static_cast<std::size_t>(size)), from.sin_addr.s_addr);
        if (answer) window.Answer(answer->sequence, answer->destination);
    }
}

}  // namespace

IcmpSocket::~IcmpSocket() {
    if (fd_ >= 0) close(fd_);
}

std::optional<IcmpSocket> OpenIcmpSocket(std::uint16_t identifier) {
    constexpr int kFlags = SOCK_NONBLOCK | SOCK_CLOEXEC;
    int fd = socket(AF_INET, SOCK_DGRAM | kFlags, IPPROTO_ICMP);
    if (fd >= 0) {
        // Without it the kernel drops the error reports of an unconnected socket.
        const int on = 1;
        SetOption(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
        EnlargeBuffers(fd);
        return IcmpSocket(fd, SocketKind::Datagram, identifier);
    }
    if (!RawSocketWorthTrying(errno)) return std::nullopt;
    fd = socket(AF_INET, SOCK_RAW | kFlags, IPPROTO_ICMP);
    if (fd < 0) return std::nullopt;
    // A raw socket sees all ICMP traffic of the host; keep only what can
    // answer a request: echo replies and the errors that quote a request.
    icmp_filter filter{};
    filter.data = ~((1U << icmp::kEchoReply) | (1U << icmp::kDestinationUnreachable) |
                    (1U << icmp::kSourceQuench) | (1U << icmp::kTimeExceeded) |
                    (1U << icmp::kParameterProblem));
    SetOption(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    EnlargeBuffers(fd);
    return IcmpSocket(fd, SocketKind::Raw, identifier);
}

SendOutcome SendRequest(const IcmpSocket& socket, const EchoWindow::Request& request) {
    // A datagram socket's kernel puts its own identifier and checksum in.
    const icmp::EchoHeader packet = icmp::EchoRequest(socket.Identifier(), request.sequence);
    const sockaddr_in to = SocketAddress(request.destination);
    ssize_t sent = 0;
    do {
        sent = sendto(socket.Fd(), packet.data(), packet.size(), 0,
                      reinterpret_cast<const sockaddr*>(&to), sizeof to);
    } while (sent < 0 && errno == EINTR);
    if (sent == static_cast<ssize_t>(packet.size())) return SendOutcome::Sent;
    if (sent < 0 &&
        (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS || errno == ENOMEM)) {
        return SendOutcome::Blocked;
    }
    return SendOutcome::Failed;  // no route, broadcast refused, firewall...
}

void ReadAnswers(const IcmpSocket& socket, EchoWindow& window) {
    if (socket.Kind() == SocketKind::Raw) {
        ReadRawPackets(socket, window);
        return;
    }
    ReadErrorQueue(socket, window);
    ReadEchoReplies(socket, window);
}

}  // namespace toolkit::platform
