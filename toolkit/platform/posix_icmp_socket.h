// One ICMP socket for a batch of echo requests: opening the best kind the
// system allows, sending a request, reading every answer it holds. Linux only;
// used by posix_icmp.cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "platform/echo_window.h"

namespace toolkit::platform {

enum class SocketKind { Datagram, Raw };
enum class SendOutcome { Sent, Failed, Blocked };

class IcmpSocket {
  public:
    IcmpSocket(int fd, SocketKind kind, std::uint16_t identifier)
        : fd_(fd), kind_(kind), identifier_(identifier) {}
    IcmpSocket(IcmpSocket&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)), kind_(other.kind_), identifier_(other.identifier_) {}
    IcmpSocket(const IcmpSocket&) = delete;
    IcmpSocket& operator=(const IcmpSocket&) = delete;
    IcmpSocket& operator=(IcmpSocket&&) = delete;
    ~IcmpSocket();

    int Fd() const { return fd_; }
    SocketKind Kind() const { return kind_; }
    std::uint16_t Identifier() const { return identifier_; }

  private:
    int fd_;
    SocketKind kind_;
    std::uint16_t identifier_;
};

// A datagram ICMP socket when net.ipv4.ping_group_range admits our group,
// else a raw one; none when neither can be had. Non-blocking. `identifier`
// marks a raw socket's requests (a datagram socket gets one from the kernel).
std::optional<IcmpSocket> OpenIcmpSocket(std::uint16_t identifier);

// Sends one echo request without data. Blocked: no room now, try later.
SendOutcome SendRequest(const IcmpSocket& socket, const EchoWindow::Request& request);

// Reads everything the socket holds and gives each answer to the window, so
// that afterwards anything not read arrived after this moment.
void ReadAnswers(const IcmpSocket& socket, EchoWindow& window);

}  // namespace toolkit::platform
