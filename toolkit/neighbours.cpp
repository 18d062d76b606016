#include "neighbours.h"

#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "reseau.h"
#include "wakeonlan.h"

namespace toolkit {
namespace {

using Clock = std::chrono::steady_clock;

// The kernel counts the ages in clock ticks, 10 ms by default.
constexpr std::chrono::milliseconds kTableTick{10};

std::uint32_t NetworkOrder(const IPv4& address) {
    std::uint32_t value = 0;
    std::memcpy(&value, address.data(), sizeof value);
    return value;
}

IPv4 FromNetworkOrder(std::uint32_t value) {
    IPv4 address{};
    std::memcpy(address.data(), &value, sizeof value);
    return address;
}

// The rows by address; a sweep asks of thousands of addresses at once.
class RowIndex {
  public:
    explicit RowIndex(const std::vector<platform::NeighbourRow>& rows) {
        for (const auto& row : rows) byAddress_.try_emplace(row.address, &row);
    }
    const platform::NeighbourRow* Find(std::uint32_t address) const {
        const auto found = byAddress_.find(address);
        return found == byAddress_.end() ? nullptr : found->second;
    }

  private:
    std::unordered_map<std::uint32_t, const platform::NeighbourRow*> byAddress_;
};

// A resolved row whose host last answered longer ago than `age`.
bool OlderThan(const platform::NeighbourRow* row, Clock::duration age) {
    return row != nullptr && row->resolved && row->confirmedAgo && *row->confirmedAgo > age;
}

std::vector<bool> AskAgain(const std::vector<std::uint32_t>& addresses) {
    if (addresses.empty()) return {};
    return platform::ArpAnswers(addresses);
}

// A row the table keeps for a host that has not answered within `age`:
// resolved long ago, or still being resolved (or given up) since a request
// went to a host that did not answer then, a computer that was asleep.
// Only where the system tells ages.
bool WorthAsking(const platform::NeighbourRow* row, Clock::duration age) {
    if (row == nullptr || !row->confirmedAgo) return false;
    return !row->resolved || *row->confirmedAgo > age;
}

std::vector<std::uint32_t> RowsToAsk(const std::vector<platform::NeighbourRow>& rows,
                                     const std::vector<IPv4>& addresses, Clock::duration age) {
    const RowIndex index(rows);
    std::vector<std::uint32_t> ask;
    for (const IPv4& address : addresses) {
        const std::uint32_t value = NetworkOrder(address);
        if (WorthAsking(index.Find(value), age)) ask.push_back(value);
    }
    return ask;
}

}  // namespace

NeighbourSnapshot NeighbourSnapshot::Take() {
    try {
        return NeighbourSnapshot(platform::NeighbourTable());
    } catch (...) {
        return NeighbourSnapshot(std::nullopt);
    }
}

NeighbourSnapshot::NeighbourSnapshot(std::optional<std::vector<platform::NeighbourRow>> rows)
    : rows_(std::move(rows)) {}

std::optional<std::string> NeighbourSnapshot::MacOf(std::string_view dotted) const {
    if (!rows_ || !IsDottedIPv4(dotted)) return std::nullopt;
    const platform::NeighbourRow* row = RowIndex(*rows_).Find(NetworkOrder(HostToIPv4(dotted)));
    if (row == nullptr || !row->resolved) return std::nullopt;
    return MacText(row->mac);
}

std::vector<std::string> NeighbourSnapshot::AddressesOf(std::string_view mac) const {
    std::vector<std::string> addresses;
    const auto wanted = ParseMac(mac);
    if (!rows_ || !wanted) return addresses;
    for (const auto& row : *rows_) {
        if (row.resolved && row.mac == *wanted) {
            addresses.push_back(ToDotted(FromNetworkOrder(row.address)));
        }
    }
    return addresses;
}

void RefreshNeighbours(const std::vector<IPv4>& addresses, std::chrono::milliseconds fresh) {
    try {
        const auto rows = platform::NeighbourTable();
        if (!rows) return;
        const std::vector<std::uint32_t> ask = RowsToAsk(*rows, addresses, fresh);
        if (!ask.empty()) platform::SendArpRequests(ask);
    } catch (...) {
        // A table that cannot be refreshed is read as it is.
    }
}

std::vector<bool> LinkAnswers(const std::vector<IPv4>& addresses, Clock::time_point since) {
    std::vector<bool> answered(addresses.size(), false);
    try {
        const auto rows = platform::NeighbourTable();
        if (!rows) return answered;
        const auto elapsed = Clock::now() - since + kTableTick;
        const RowIndex index(*rows);
        std::vector<std::size_t> old;
        std::vector<std::uint32_t> oldAddresses;
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            const std::uint32_t value = NetworkOrder(addresses[i]);
            const platform::NeighbourRow* row = index.Find(value);
            if (OlderThan(row, elapsed)) {
                old.push_back(i);
                oldAddresses.push_back(value);
            } else {
                answered[i] = row != nullptr && row->resolved;
            }
        }
        const std::vector<bool> again = AskAgain(oldAddresses);
        for (std::size_t k = 0; k < old.size() && k < again.size(); ++k) {
            answered[old[k]] = again[k];
        }
    } catch (...) {
        return std::vector<bool>(addresses.size(), false);
    }
    return answered;
}

std::vector<bool> SweepProbe(const std::vector<IPv4>& addresses,
                             std::chrono::milliseconds timeout) {
    const Clock::time_point start = Clock::now();
    std::vector<bool> found = IcmpProbeAddresses(addresses, timeout);
    std::vector<std::size_t> silent;
    std::vector<IPv4> silentAddresses;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (!found[i] && addresses[i] != IPv4{}) {
            silent.push_back(i);
            silentAddresses.push_back(addresses[i]);
        }
    }
    const std::vector<bool> link = LinkAnswers(silentAddresses, start);
    for (std::size_t k = 0; k < silent.size() && k < link.size(); ++k) {
        if (link[k]) found[silent[k]] = true;
    }
    return found;
}

}  // namespace toolkit
