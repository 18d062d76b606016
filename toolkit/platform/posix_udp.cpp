// Datagrams on POSIX: one UDP datagram, broadcast allowed (Wake-on-LAN), and
// the socket of the questions asked on the LAN (NetBIOS names).
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform.h"

namespace toolkit::platform {

int SendUdpDatagram(std::uint32_t addressNetworkOrder, std::uint16_t port,
                    const std::vector<std::uint8_t>& payload) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    // Without it the kernel refuses any broadcast destination (EACCES).
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        const int error = errno;
        close(fd);
        return error;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = addressNetworkOrder;
    const ssize_t sent = sendto(fd, payload.data(), payload.size(), 0,
                                reinterpret_cast<const sockaddr*>(&to), sizeof to);
    const int error = sent < 0 ? errno : 0;
    close(fd);
    return error;
}

}  // namespace toolkit::platform

namespace toolkit::platform {

int OpenUdpSocket() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void CloseUdpSocket(int socket) {
    if (socket >= 0) close(socket);
}

int SendUdpFrom(int socket, std::uint32_t addressNetworkOrder, std::uint16_t port,
                const std::vector<std::uint8_t>& payload) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = addressNetworkOrder;
    const ssize_t sent = sendto(socket, payload.data(), payload.size(), 0,
                                reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent < 0 ? errno : 0;
}

std::optional<ReceivedDatagram> ReceiveUdp(int socket, int timeoutMs) {
    pollfd watch{socket, POLLIN, 0};
    const int ready = poll(&watch, 1, std::max(timeoutMs, 0));
    if (ready <= 0 || (watch.revents & POLLIN) == 0) return std::nullopt;
    // Larger than any name service answer: a longer datagram is cut, and then refused.
    std::vector<std::uint8_t> buffer(2048);
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t got = recvfrom(socket, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got < 0) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(got));
    return ReceivedDatagram{from.sin_addr.s_addr, ntohs(from.sin_port), std::move(buffer)};
}

}  // namespace toolkit::platform
