// The local link's neighbour table (the ARP table) above the platform layer:
// which host holds an address (its hardware address), at which addresses a
// hardware address is seen, and which addresses a host answered for lately.
// Every question reads the table as it is; the probes keep it fresh
// (RefreshNeighbours, and every echo request, which makes the system ask ARP
// of an address it does not know).
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "raw_ping.h"

namespace toolkit {

// The table at one moment.
class NeighbourSnapshot {
  public:
    // The system's table now; not Readable() when it cannot be read.
    static NeighbourSnapshot Take();
    explicit NeighbourSnapshot(std::optional<std::vector<platform::NeighbourRow>> rows);

    bool Readable() const { return rows_.has_value(); }
    // The hardware address of the host that holds the dotted address, as
    // netsweep writes it ("02-4B-52-00-00-11"); nullopt when the table does
    // not know it (no row, a row still being resolved or failed, a text
    // that is no dotted address).
    std::optional<std::string> MacOf(std::string_view dotted) const;
    // The dotted addresses whose rows hold `mac` (any form ParseMac reads),
    // in the table's order; none for a text that is no hardware address.
    std::vector<std::string> AddressesOf(std::string_view mac) const;

  private:
    std::optional<std::vector<platform::NeighbourRow>> rows_;
};

// Asks ARP again, where the process may (platform::SendArpRequests), of the
// addresses whose rows are older than `fresh`, so that the table names the
// host that holds each address now: a row learned before the router gave
// the address to another computer would name the old one. Also of those
// whose rows are still being resolved or were given up (the host did not
// answer a moment ago): a computer just woken is found at once, not at the
// system's next try, up to a second later. Rows the system tells no age of
// are left as they are. Does not wait: the system's table takes the answers
// in within a round trip.
inline constexpr std::chrono::milliseconds kFreshNeighbour{1000};
void RefreshNeighbours(const std::vector<IPv4>& addresses,
                       std::chrono::milliseconds fresh = kFreshNeighbour);

// Per address: whether a host of the local link answered ARP for it since
// `since` (the table confirmed it since then; a row older than that is asked
// again as RefreshNeighbours does). Where the system tells no age, a known
// row counts. A computer whose firewall drops pings still answers ARP.
std::vector<bool> LinkAnswers(const std::vector<IPv4>& addresses,
                              std::chrono::steady_clock::time_point since);

// netsweep's sweep: one echo request to each address, all at once
// (IcmpProbeAddresses with `timeout`); an address that did not answer it is
// still found when a host of the local link answered ARP for it meanwhile,
// as a scanner's ARP sweep finds it. Results in input order.
std::vector<bool> SweepProbe(const std::vector<IPv4>& addresses,
                             std::chrono::milliseconds timeout = kEchoTimeout);

}  // namespace toolkit
