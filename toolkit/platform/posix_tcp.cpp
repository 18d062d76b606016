#include "platform/posix_tcp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace toolkit::platform {
namespace {

enum class Outcome { Proof, Pending, Nothing };

// Accepted, or refused by a reset (the host itself answered "nothing
// here"): either way something at that address is running. Unreachable, a
// time-out or a local failure prove nothing.
Outcome OutcomeOf(int error) {
    if (error == 0 || error == ECONNREFUSED) return Outcome::Proof;
    if (error == EINPROGRESS || error == EINTR || error == EALREADY) return Outcome::Pending;
    return Outcome::Nothing;
}

// Closed without the polite end: an accepted connection is reset at once,
// leaving the server nothing to wait for and this machine no TIME_WAIT.
void Abort(int fd) {
    const linger now{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    close(fd);
}

int ErrorOf(int fd) {
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}

}  // namespace

ConnectTries::ConnectTries(std::vector<std::uint16_t> ports, std::size_t maxSockets)
    : ports_(std::move(ports)), maxSockets_(std::max<std::size_t>(maxSockets, 1)) {}

ConnectTries::~ConnectTries() {
    for (const Attempt& attempt : attempts_) Abort(attempt.fd);
}

void ConnectTries::Start(const EchoWindow::Request& host, EchoWindow& window) {
    if (ports_.empty()) return;
    if (attempts_.size() + ports_.size() > maxSockets_) {
        queued_.push_back(host);
        return;
    }
    Open(host, window);
}

void ConnectTries::Open(const EchoWindow::Request& host, EchoWindow& window) {
    for (const std::uint16_t port : ports_) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
        if (fd < 0) return;  // out of descriptors: the echo alone decides
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = host.destination;
        const int started = connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        const Outcome outcome = OutcomeOf(started == 0 ? 0 : errno);
        if (outcome == Outcome::Pending) {
            attempts_.push_back({fd, host});
            continue;
        }
        Abort(fd);
        if (outcome == Outcome::Proof) {
            window.Answer(host.sequence, host.destination);
            CloseSettled(window);
            return;
        }
    }
}

void ConnectTries::Watch(std::vector<pollfd>& watches) const {
    for (const Attempt& attempt : attempts_) watches.push_back({attempt.fd, POLLOUT, 0});
}

void ConnectTries::Collect(const std::vector<pollfd>& watches, std::size_t first,
                           EchoWindow& window) {
    for (std::size_t i = 0; i < attempts_.size() && first + i < watches.size(); ++i) {
        Attempt& attempt = attempts_[i];
        if (watches[first + i].revents == 0) continue;
        const Outcome outcome = OutcomeOf(ErrorOf(attempt.fd));
        if (outcome == Outcome::Pending) continue;
        if (outcome == Outcome::Proof)
            window.Answer(attempt.host.sequence, attempt.host.destination);
        Abort(std::exchange(attempt.fd, -1));
    }
    std::erase_if(attempts_, [](const Attempt& attempt) { return attempt.fd < 0; });
    CloseSettled(window);
    while (!queued_.empty() && attempts_.size() + ports_.size() <= maxSockets_) {
        const EchoWindow::Request host = queued_.front();
        queued_.pop_front();
        if (window.Waiting(host.sequence)) Open(host, window);
    }
}

// A host settled by its echo, by another connection or by its deadline
// needs none of its connections any more.
void ConnectTries::CloseSettled(const EchoWindow& window) {
    std::erase_if(attempts_, [&window](const Attempt& attempt) {
        if (window.Waiting(attempt.host.sequence)) return false;
        Abort(attempt.fd);
        return true;
    });
}

}  // namespace toolkit::platform
