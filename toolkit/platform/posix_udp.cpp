// Datagrams on POSIX: one UDP datagram, broadcast allowed (Wake-on-LAN).
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
