// The neighbour table on Windows: the IP helper's ARP table (GetIpNetTable),
// and ARP asked of the system (SendARP), which blocks until the answer or its
// own time-out, so the questions run side by side on a few threads. Windows
// tells no time of the last answer: confirmedAgo stays unknown. A row whose
// hardware address is all zeros names no network card: Wine gives a failed
// look-up (an address nobody answered for) as a dynamic row of six zeros,
// where Windows marks it invalid, and such a row must not count as a host.

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "platform.h"

namespace toolkit::platform {

namespace {

constexpr std::size_t kArpThreads = 32;
constexpr DWORD kDynamicRow = 3;  // MIB_IPNET_TYPE_DYNAMIC
constexpr DWORD kStaticRow = 4;   // MIB_IPNET_TYPE_STATIC

// The table as the function gives it; asked again with the size it wants
// when it grew between the two calls.
std::optional<std::vector<unsigned char>> RawTable() {
    ULONG size = 0;
    std::vector<unsigned char> buffer;
    DWORD status = ERROR_INSUFFICIENT_BUFFER;
    for (int attempt = 0; attempt < 4 && status == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        buffer.resize(size > 0 ? size : sizeof(MIB_IPNETTABLE));
        size = static_cast<ULONG>(buffer.size());
        status = GetIpNetTable(reinterpret_cast<PMIB_IPNETTABLE>(buffer.data()), &size, TRUE);
    }
    if (status == ERROR_NO_DATA) return std::vector<unsigned char>{};
    if (status != NO_ERROR) return std::nullopt;
    return buffer;
}

bool AllZero(const BYTE* mac) {
    return std::all_of(mac, mac + 6, [](BYTE b) { return b == 0; });
}

void AskShare(const std::vector<std::uint32_t>& addresses, std::atomic<std::size_t>& next,
              std::vector<char>& answered) {
    for (std::size_t i = next++; i < addresses.size(); i = next++) {
        BYTE mac[8] = {};
        ULONG length = 6;
        answered[i] =
            SendARP(addresses[i], 0, mac, &length) == NO_ERROR && length == 6 && !AllZero(mac);
    }
}

}  // namespace

std::optional<std::vector<NeighbourRow>> NeighbourTable() {
    const auto buffer = RawTable();
    if (!buffer) return std::nullopt;
    std::vector<NeighbourRow> rows;
    if (buffer->empty()) return rows;
    const auto* table = reinterpret_cast<const MIB_IPNETTABLE*>(buffer->data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IPNETROW& entry = table->table[i];
        NeighbourRow row;
        row.address = entry.dwAddr;
        row.resolved = (entry.dwType == kDynamicRow || entry.dwType == kStaticRow) &&
                       entry.dwPhysAddrLen == 6 && !AllZero(entry.bPhysAddr);
        if (row.resolved) std::memcpy(row.mac.data(), entry.bPhysAddr, 6);
        rows.push_back(row);
    }
    return rows;
}

std::vector<bool> ArpAnswers(const std::vector<std::uint32_t>& addressesNetworkOrder) {
    std::vector<char> answered(addressesNetworkOrder.size(), 0);
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> threads;
    const std::size_t count = std::min(kArpThreads, addressesNetworkOrder.size());
    for (std::size_t t = 0; t < count; ++t) {
        try {
            threads.emplace_back(AskShare, std::cref(addressesNetworkOrder), std::ref(next),
                                 std::ref(answered));
        } catch (const std::system_error&) {
            break;
        }
    }
    if (threads.empty()) AskShare(addressesNetworkOrder, next, answered);
    for (auto& thread : threads) thread.join();
    return std::vector<bool>(answered.begin(), answered.end());
}

// SendARP waits for its answer: the requests are asked side by side as
// ArpAnswers asks them, their answers left to the system's table.
void SendArpRequests(const std::vector<std::uint32_t>& addressesNetworkOrder) {
    ArpAnswers(addressesNetworkOrder);
}

}  // namespace toolkit::platform
