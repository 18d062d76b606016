// What a netsweep run asks of the outside world: the tools' listings, the
// system's tables, the echo probe and the name services. SystemNetwork is the
// real one; the run's rules are tested against fixtures through the same
// interface.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "raw_ping.h"
#include "reseau.h"
#include "utils.h"

namespace netsweep {

using Clock = std::chrono::steady_clock;

class Network {
  public:
    virtual ~Network() = default;

    // The ipconfig listing read into a record; throws toolkit::FileError.
    virtual toolkit::host_params ReadIpConfig() = 0;
    virtual void LoadLocalAddressTable(toolkit::TextList& addresses, toolkit::TextList& masks) = 0;
    // One echo request to each address, all at once; one verdict per address:
    // answered, or (a computer whose firewall drops pings) answered ARP.
    virtual std::vector<bool> Probe(const std::vector<toolkit::IPv4>& addresses) = 0;
    // The same, waiting longer for the replies: a second chance for the few
    // computers that answered before and were silent in the sweep.
    virtual std::vector<bool> ProbeAgain(const std::vector<toolkit::IPv4>& addresses) {
        return Probe(addresses);
    }
    // Whether an echo request can be sent at all; without, a sweep sees nothing.
    virtual bool CanProbe() { return true; }
    // The "nbtstat -a" name of each address (FirstUniqueName; empty for
    // none), all asked at once; an address not asked by `deadline` has none.
    // Throws toolkit::FileError when a tool's output file cannot be read.
    virtual std::vector<std::string> NetbiosNames(const std::vector<std::string>& addresses,
                                                  Clock::time_point deadline) = 0;
    // Reverse look-ups, all at once; nullopt for no entry, and for a look-up
    // not finished by `deadline`.
    virtual std::vector<std::optional<toolkit::platform::HostEntry>> ReverseEntries(
        const std::vector<std::string>& addresses, Clock::time_point deadline) = 0;
    // The lines of "nbtstat -c" and of "arp -a"; throw toolkit::FileError.
    virtual toolkit::TextList NameCacheListing() = 0;
    virtual toolkit::TextList ArpListing() = 0;
};

// One echo request to each dotted address, all at once, through `network`
// (its ProbeAgain when `again`).
std::vector<bool> ProbeAddresses(Network& network, const std::vector<std::string>& dotted,
                                 bool again = false);

// The tools through RunAndWait and their work files in the scratch folder
// (on POSIX, netcmd from the program folder), the toolkit's probe and look-ups.
class SystemNetwork : public Network {
  public:
    toolkit::host_params ReadIpConfig() override;
    void LoadLocalAddressTable(toolkit::TextList& addresses, toolkit::TextList& masks) override;
    std::vector<bool> Probe(const std::vector<toolkit::IPv4>& addresses) override;
    std::vector<bool> ProbeAgain(const std::vector<toolkit::IPv4>& addresses) override;
    bool CanProbe() override;
    std::vector<std::string> NetbiosNames(const std::vector<std::string>& addresses,
                                          Clock::time_point deadline) override;
    std::vector<std::optional<toolkit::platform::HostEntry>> ReverseEntries(
        const std::vector<std::string>& addresses, Clock::time_point deadline) override;
    toolkit::TextList NameCacheListing() override;
    toolkit::TextList ArpListing() override;
};

}  // namespace netsweep
