// Names, addresses and datagrams on Windows: Windows Sockets (getaddrinfo,
// gethostbyaddr) and the IP helper's address table, loaded at run time.

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <ws2tcpip.h>

#include <windows.h>

#include <iphlpapi.h>

#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "platform.h"
#include "platform/win32_error.h"
#include "platform/win32_tcp.h"
#include "platform/win32_text.h"

namespace toolkit::platform {

namespace {

// Windows Sockets gives the names in the ANSI code page.
HostEntry EntryOf(const hostent& host) {
    HostEntry entry;
    entry.name = host.h_name ? Utf8FromCodePage(host.h_name, CP_ACP) : "";
    for (char** alias = host.h_aliases; alias && *alias; ++alias)
        entry.aliases.push_back(Utf8FromCodePage(*alias, CP_ACP));
    return entry;
}

using GetIpAddrTableFunction = DWORD(WINAPI*)(PMIB_IPADDRTABLE, PULONG, BOOL);

// The table as the function gives it; asked again with the size it wants
// when it grew between the two calls. Empty on any failure.
std::vector<AddressRow> RowsFrom(GetIpAddrTableFunction getTable) {
    std::vector<AddressRow> rows;
    ULONG size = 0;
    std::vector<unsigned char> buffer;
    DWORD status = ERROR_INSUFFICIENT_BUFFER;
    for (int attempt = 0; attempt < 4 && status == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        buffer.resize(size > 0 ? size : sizeof(MIB_IPADDRTABLE));
        size = static_cast<ULONG>(buffer.size());
        status = getTable(reinterpret_cast<PMIB_IPADDRTABLE>(buffer.data()), &size, FALSE);
    }
    if (status != NO_ERROR) return rows;
    const auto* table = reinterpret_cast<const MIB_IPADDRTABLE*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i)
        rows.push_back({table->table[i].dwAddr, table->table[i].dwMask});
    return rows;
}

}  // namespace

std::optional<std::uint32_t> ResolveIPv4(const std::string& name) {
    if (!SocketsStarted()) return std::nullopt;
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    ADDRINFOW* found = nullptr;
    if (GetAddrInfoW(Wide(name).c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    sockaddr_in inet{};
    std::memcpy(&inet, found->ai_addr, sizeof inet);
    FreeAddrInfoW(found);
    return inet.sin_addr.s_addr;
}

// Windows Sockets keeps one host entry per thread: it is copied before any
// other call of this thread may overwrite it.
std::optional<HostEntry> ReverseLookup(std::uint32_t addressNetworkOrder) {
    if (!SocketsStarted()) return std::nullopt;
    in_addr address{};
    address.s_addr = addressNetworkOrder;
    const hostent* host =
        gethostbyaddr(reinterpret_cast<const char*>(&address), sizeof address, AF_INET);
    if (host == nullptr) return std::nullopt;
    return EntryOf(*host);
}

// IpHlpApi.dll is loaded at run time: without it, or without the function,
// the table is empty and nothing is reported.
std::vector<AddressRow> LocalAddressRows() {
    const HMODULE library = LoadLibraryW(L"IpHlpApi.dll");
    if (library == nullptr) return {};
    const auto getTable = reinterpret_cast<GetIpAddrTableFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetIpAddrTable")));
    std::vector<AddressRow> rows;
    if (getTable != nullptr) rows = RowsFrom(getTable);
    FreeLibrary(library);
    return rows;
}

int SendUdpDatagram(std::uint32_t addressNetworkOrder, std::uint16_t port,
                    const std::vector<std::uint8_t>& payload) {
    if (!SocketsStarted()) return ENETDOWN;
    const SOCKET sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (sock == INVALID_SOCKET) return ErrnoOf(static_cast<DWORD>(WSAGetLastError()));
    // Without it Windows refuses any broadcast destination.
    const BOOL on = TRUE;
    int error = 0;
    if (setsockopt(sock, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) !=
        0) {
        error = ErrnoOf(static_cast<DWORD>(WSAGetLastError()));
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = addressNetworkOrder;
    if (error == 0 && sendto(sock, reinterpret_cast<const char*>(payload.data()),
                             static_cast<int>(payload.size()), 0,
                             reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR) {
        error = ErrnoOf(static_cast<DWORD>(WSAGetLastError()));
    }
    closesocket(sock);
    return error;
}

// A SOCKET fits the int handle: Windows keeps socket values within 32 bits.
int OpenUdpSocket() {
    if (!SocketsStarted()) return -1;
    const SOCKET sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (sock == INVALID_SOCKET) return -1;
    const BOOL on = TRUE;
    if (setsockopt(sock, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) !=
        0) {
        closesocket(sock);
        return -1;
    }
    return static_cast<int>(sock);
}

void CloseUdpSocket(int socket) {
    if (socket >= 0) closesocket(static_cast<SOCKET>(socket));
}

int SendUdpFrom(int socket, std::uint32_t addressNetworkOrder, std::uint16_t port,
                const std::vector<std::uint8_t>& payload) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = addressNetworkOrder;
    if (sendto(static_cast<SOCKET>(socket), reinterpret_cast<const char*>(payload.data()),
               static_cast<int>(payload.size()), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) == SOCKET_ERROR) {
        return ErrnoOf(static_cast<DWORD>(WSAGetLastError()));
    }
    return 0;
}

std::optional<ReceivedDatagram> ReceiveUdp(int socket, int timeoutMs) {
    WSAPOLLFD watch{static_cast<SOCKET>(socket), POLLRDNORM, 0};
    const int ready = WSAPoll(&watch, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (ready <= 0 || (watch.revents & POLLRDNORM) == 0) return std::nullopt;
    // Larger than any name service answer: a longer datagram is cut, and then refused.
    std::vector<std::uint8_t> buffer(2048);
    sockaddr_in from{};
    int fromLength = sizeof from;
    const int got = recvfrom(static_cast<SOCKET>(socket), reinterpret_cast<char*>(buffer.data()),
                             static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&from),
                             &fromLength);
    if (got == SOCKET_ERROR) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(got));
    return ReceivedDatagram{from.sin_addr.s_addr, ntohs(from.sin_port), std::move(buffer)};
}

std::string LocalHostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = sizeof name;
    if (!GetComputerNameA(name, &length)) return {};
    return std::string(name, length);
}

}  // namespace toolkit::platform
