#include "platform/win32_tcp.h"

#include <algorithm>

namespace toolkit::platform {

// Windows Sockets stays started for the life of the program: starting and
// closing it around every call would cost each of the sweep's look-ups.
bool SocketsStarted() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

namespace {

// Closed at once, with a reset rather than an orderly end: nothing was said.
void Abort(SOCKET s) {
    const linger now{1, 0};
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&now), sizeof now);
    closesocket(s);
}

}  // namespace

Connections::Connections(std::uint32_t addressNetworkOrder,
                         const std::vector<std::uint16_t>& ports) {
    if (!SocketsStarted()) return;
    event_ = WSACreateEvent();
    if (event_ == WSA_INVALID_EVENT) {
        event_ = nullptr;
        return;
    }
    for (const std::uint16_t port : ports) Start(addressNetworkOrder, port);
}

Connections::~Connections() {
    for (const SOCKET s : sockets_) Abort(s);
    if (event_ != nullptr) WSACloseEvent(event_);
}

// The event selection makes the socket non-blocking: the connection goes on
// after connect returns, and its end (FD_CONNECT) sets the event.
void Connections::Start(std::uint32_t addressNetworkOrder, std::uint16_t port) {
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return;
    if (WSAEventSelect(s, event_, FD_CONNECT) != 0) {
        closesocket(s);
        return;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = addressNetworkOrder;
    if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 ||
        WSAGetLastError() == WSAECONNREFUSED) {
        proven_ = true;
        Abort(s);
    } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
        sockets_.push_back(s);
    } else {
        closesocket(s);
    }
}

bool Connections::Collect() {
    if (event_ == nullptr) return proven_;
    // Reset before the sockets are read: a connection that ends meanwhile
    // sets the event again rather than going unseen.
    ResetEvent(event_);
    std::erase_if(sockets_, [&](SOCKET s) {
        WSANETWORKEVENTS events{};
        if (WSAEnumNetworkEvents(s, nullptr, &events) != 0 ||
            (events.lNetworkEvents & FD_CONNECT) == 0) {
            return false;
        }
        const int error = events.iErrorCode[FD_CONNECT_BIT];
        if (error == 0 || error == WSAECONNREFUSED) proven_ = true;
        Abort(s);
        return true;
    });
    return proven_;
}

}  // namespace toolkit::platform
