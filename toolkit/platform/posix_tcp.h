// TCP connections as a proof that a host is on, for the hosts a batch of echo
// requests has not heard: a computer whose firewall drops pings still
// accepts a connection to a port it serves (file sharing, remote desktop,
// ssh), or refuses it with a reset. Linux only; used by posix_icmp.cpp.
#pragma once

#include <poll.h>

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/echo_window.h"

namespace toolkit::platform {

class ConnectTries {
  public:
    // At most `maxSockets` connections are open at once; hosts beyond that
    // wait for room.
    ConnectTries(std::vector<std::uint16_t> ports, std::size_t maxSockets);
    ~ConnectTries();
    ConnectTries(const ConnectTries&) = delete;
    ConnectTries& operator=(const ConnectTries&) = delete;

    // One non-blocking connection to each port of the host. A connection
    // accepted or refused at once proves the host on (window.Answer).
    void Start(const EchoWindow::Request& host, EchoWindow& window);
    // One watch per connection in progress, appended in a fixed order ...
    void Watch(std::vector<pollfd>& watches) const;
    // ... which this reads back, from `watches[first]` on: each connection
    // that ended accepted or refused proves its host on. Then closes the
    // connections that ended and those of every host the window settled,
    // and starts the hosts that waited for room.
    void Collect(const std::vector<pollfd>& watches, std::size_t first, EchoWindow& window);
    bool Idle() const { return attempts_.empty() && queued_.empty(); }

  private:
    struct Attempt {
        int fd = -1;
        EchoWindow::Request host;
    };
    void Open(const EchoWindow::Request& host, EchoWindow& window);
    void CloseSettled(const EchoWindow& window);

    std::vector<std::uint16_t> ports_;
    std::size_t maxSockets_;
    std::vector<Attempt> attempts_;
    std::deque<EchoWindow::Request> queued_;
};

}  // namespace toolkit::platform
