// TCP connections as a proof that a host is on, for the hosts an echo has not
// heard (ReachProbe): a computer whose firewall drops pings still accepts a
// connection to a port it serves, or refuses it with a reset. Windows only;
// used by win32_icmp.cpp. (Windows tries a connection again after a reset
// for about a second, so a refused connection proves a host on only where
// the system reports the reset at once; an accepted one always does.)
// SocketsStarted serves every Windows Sockets user of the platform layer.
#pragma once

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <cstdint>
#include <vector>

namespace toolkit::platform {

// Starts Windows Sockets once, at the first call; false when it cannot start.
bool SocketsStarted();

// One host's connections, one per port, started without blocking; the end of
// any of them sets one event, so that they are waited on with the host's
// echo requests.
class Connections {
  public:
    Connections(std::uint32_t addressNetworkOrder, const std::vector<std::uint16_t>& ports);
    ~Connections();
    Connections(const Connections&) = delete;
    Connections& operator=(const Connections&) = delete;

    // Set when a connection ends; none when no connection could start.
    HANDLE Event() const { return event_; }
    // Some connection is still under way.
    bool Open() const { return !sockets_.empty(); }
    // Reads the connections that ended: true once one was accepted, or
    // refused by the host. Those that ended are closed.
    bool Collect();

  private:
    void Start(std::uint32_t addressNetworkOrder, std::uint16_t port);

    HANDLE event_ = nullptr;
    std::vector<SOCKET> sockets_;
    bool proven_ = false;
};

}  // namespace toolkit::platform
