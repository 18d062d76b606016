#include "naming.h"

#include <set>

#include "lists.h"

namespace netsweep {
namespace {

std::string PlainOrNothing(std::string name) {
    return IsUsableName(name) ? name : std::string();
}

}  // namespace

Namer::Namer(Network& network, std::chrono::milliseconds deadline)
    : network_(network), stepBound_(deadline) {}

// A question outside Prefetch (an address no step foresaw) shares the bound of
// the step in progress, or starts one.
Clock::time_point Namer::Deadline() {
    if (!deadline_) deadline_ = Clock::now() + stepBound_;
    return *deadline_;
}

void Namer::Prefetch(const std::vector<std::string>& addresses,
                     const toolkit::KeyedLines& ip2name) {
    deadline_ = Clock::now() + stepBound_;
    std::vector<std::string> unnamed;
    std::set<std::string> seen;
    for (const std::string& address : addresses) {
        if (netbios_.contains(address) || !seen.insert(address).second) continue;
        if (ip2name.ValueOfKey(address).empty()) unnamed.push_back(address);
    }
    AskNetbios(unnamed);
    std::vector<std::string> stillUnnamed;
    for (const std::string& address : unnamed) {
        if (netbios_[address].empty() && !reverse_.contains(address))
            stillUnnamed.push_back(address);
    }
    AskReverse(stillUnnamed);
}

void Namer::AskNetbios(const std::vector<std::string>& addresses) {
    // Only dotted addresses reach a command line.
    std::vector<std::string> asked;
    for (const std::string& address : addresses) {
        netbios_[address];
        if (toolkit::IsDottedIPv4(address)) asked.push_back(address);
    }
    if (asked.empty()) return;
    const std::vector<std::string> names = network_.NetbiosNames(asked, Deadline());
    for (std::size_t i = 0; i < asked.size() && i < names.size(); ++i) {
        netbios_[asked[i]] = PlainOrNothing(names[i]);
    }
}

void Namer::AskReverse(const std::vector<std::string>& addresses) {
    for (const std::string& address : addresses) reverse_[address];
    if (addresses.empty()) return;
    const auto entries = network_.ReverseEntries(addresses, Deadline());
    for (std::size_t i = 0; i < addresses.size() && i < entries.size(); ++i) {
        if (!entries[i]) continue;
        ReverseName& name = reverse_[addresses[i]];
        name.official = UsableDnsName(entries[i]->name);
        // The alias is only asked for an address that has an official name.
        if (!name.official.empty() && !entries[i]->aliases.empty()) {
            name.alias = UsableDnsName(entries[i]->aliases.front());
        }
    }
}

const std::string& Namer::NetbiosName(const std::string& address) {
    if (!netbios_.contains(address)) AskNetbios({address});
    return netbios_[address];
}

const Namer::ReverseName& Namer::Reverse(const std::string& address) {
    if (!reverse_.contains(address)) AskReverse({address});
    return reverse_[address];
}

std::string Namer::ResolveName(const std::string& address, toolkit::KeyedLines& ip2name,
                               std::ostream& console) {
    std::string name = ip2name.ValueOfKey(address);
    if (name.empty()) {
        name = NetbiosName(address);
        if (!name.empty()) ip2name.Append(address + "=" + name);
    }
    if (name.empty()) {
        const ReverseName& reverse = Reverse(address);
        if (!reverse.official.empty()) {
            name = reverse.alias.empty() ? reverse.official : reverse.alias;
            ip2name.Append(address + "=" + name);
        }
        // The name taken, as the line has always said: the alias when the
        // reverse lookup gave one, else the official name.
        console << "getHostByAddr : " << address << " = " << name << '\n';
        console << "getAliasByAddr : " << address << " = " << reverse.alias << '\n';
    }
    return toolkit::ShortHostName(name);
}

}  // namespace netsweep
