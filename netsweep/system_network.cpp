#include <algorithm>

#include "listings.h"
#include "lookups.h"
#include "neighbours.h"
#include "network.h"
#include "reseau.h"
#include "tools.h"

namespace netsweep {
namespace {

// netcmd's whole command line is one argument of /bin/sh, which the kernel
// caps at 128 KiB: this many addresses stay well below it.
constexpr std::size_t kAddressesPerCommand = 4096;

// The second chance's wait, hostping's: a computer on Wi-Fi in power saving
// may take some hundreds of milliseconds to answer.
constexpr std::chrono::milliseconds kSecondEchoTimeout{1000};

// One listing per address of `chunk`, in order.
std::vector<toolkit::TextList> NodeListings(const toolkit::ToolPaths& paths,
                                            const std::vector<std::string>& chunk) {
    if (const auto list = toolkit::NbtstatListCommand(toolkit::kHostOs, paths, chunk)) {
        std::vector<toolkit::TextList> listings = SplitNodeListings(toolkit::RunCaptured(*list));
        // A listing cut short cannot say which name is whose: none is taken.
        if (listings.size() != chunk.size()) listings.assign(chunk.size(), {});
        return listings;
    }
    std::vector<toolkit::TextList> listings;
    for (const std::string& address : chunk) {
        listings.push_back(
            toolkit::RunCaptured(toolkit::NbtstatCommand(toolkit::kHostOs, paths, address)));
    }
    return listings;
}

}  // namespace

std::vector<bool> ProbeAddresses(Network& network, const std::vector<std::string>& dotted,
                                 bool again) {
    std::vector<toolkit::IPv4> targets;
    targets.reserve(dotted.size());
    for (const std::string& address : dotted) targets.push_back(toolkit::HostToIPv4(address));
    std::vector<bool> answered = again ? network.ProbeAgain(targets) : network.Probe(targets);
    answered.resize(dotted.size(), false);
    return answered;
}

toolkit::host_params SystemNetwork::ReadIpConfig() {
    return toolkit::ReadIpConfig();
}

void SystemNetwork::LoadLocalAddressTable(toolkit::TextList& addresses, toolkit::TextList& masks) {
    toolkit::LoadLocalAddressTable(addresses, masks);
}

std::vector<bool> SystemNetwork::Probe(const std::vector<toolkit::IPv4>& addresses) {
    return toolkit::SweepProbe(addresses, toolkit::kEchoTimeout);
}

std::vector<bool> SystemNetwork::ProbeAgain(const std::vector<toolkit::IPv4>& addresses) {
    return toolkit::IcmpProbeAddresses(addresses, kSecondEchoTimeout);
}

bool SystemNetwork::CanProbe() {
    return toolkit::platform::IcmpSocketAvailable();
}

std::vector<std::string> SystemNetwork::NetbiosNames(const std::vector<std::string>& addresses,
                                                     Clock::time_point deadline) {
    std::vector<std::string> names(addresses.size());
    if (addresses.empty()) return names;
    const toolkit::ToolPaths paths = toolkit::HostToolPaths();
    for (std::size_t start = 0; start < addresses.size(); start += kAddressesPerCommand) {
        if (Clock::now() >= deadline) break;
        const auto first = addresses.begin() + static_cast<std::ptrdiff_t>(start);
        const auto count = std::min(kAddressesPerCommand, addresses.size() - start);
        const std::vector<std::string> chunk(first, first + static_cast<std::ptrdiff_t>(count));
        const auto listings = NodeListings(paths, chunk);
        for (std::size_t i = 0; i < count; ++i) names[start + i] = NodeListingName(listings[i]);
    }
    return names;
}

std::vector<std::optional<toolkit::platform::HostEntry>> SystemNetwork::ReverseEntries(
    const std::vector<std::string>& addresses, Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
        return std::vector<std::optional<toolkit::platform::HostEntry>>(addresses.size());
    return toolkit::ReverseLookups(addresses, left);
}

toolkit::TextList SystemNetwork::NameCacheListing() {
    return toolkit::RunCaptured(
        toolkit::NbtCacheCommand(toolkit::kHostOs, toolkit::HostToolPaths()));
}

toolkit::TextList SystemNetwork::ArpListing() {
    return toolkit::RunCaptured(toolkit::ArpCommand(toolkit::kHostOs, toolkit::HostToolPaths()));
}

}  // namespace netsweep
