// ResolveName, the short name of an address, asked of the network for many
// addresses at once. The run's steps name addresses one after the other and
// write their console lines in that order; before a step, Prefetch asks every
// NetBIOS name and every reverse look-up that the step will need, all at
// once, and ResolveName then reads the answers in the step's order. An
// address is asked once per run: an address that stays nameless is not asked
// again when it is met again.
//
// Names come from the network: one that is not a plain host name (letters,
// digits, ".", "-", "_") would break the list lines and later reach scripts
// and file names, and one that could never name an entry (".", "-rf") would
// only be offered for enrolment to be refused; either counts as no name.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "network.h"
#include "utils.h"

namespace netsweep {

// Each naming step of a run (the swept hosts, the ARP table's hosts: every
// NetBIOS query and reverse look-up the step needs) ends this long after it
// starts: a DNS server that never answers must not cost the resolver's
// time-out per address, nor leave a later step no time at all. What has not
// answered by then has no name.
inline constexpr std::chrono::milliseconds kNamingDeadline{3000};

class Namer {
  public:
    Namer(Network& network, std::chrono::milliseconds deadline = kNamingDeadline);

    // Starts a naming step with its own bound, and asks the network, all at
    // once, about each of `addresses` that ip2name does not name and that was
    // not asked yet.
    void Prefetch(const std::vector<std::string>& addresses, const toolkit::KeyedLines& ip2name);

    // The name ip2name gives the address; else its NetBIOS name, added to
    // ip2name; else its reverse name (the alias when there is one), added to
    // ip2name with the "getHostByAddr" and "getAliasByAddr" lines written.
    // Returns the name without its domain part.
    std::string ResolveName(const std::string& address, toolkit::KeyedLines& ip2name,
                            std::ostream& console);

  private:
    struct ReverseName {
        std::string official;
        std::string alias;
    };
    Clock::time_point Deadline();
    const std::string& NetbiosName(const std::string& address);
    const ReverseName& Reverse(const std::string& address);
    void AskNetbios(const std::vector<std::string>& addresses);
    void AskReverse(const std::vector<std::string>& addresses);

    Network& network_;
    std::chrono::milliseconds stepBound_;
    std::optional<Clock::time_point> deadline_;
    std::map<std::string, std::string> netbios_;
    std::map<std::string, ReverseName> reverse_;
};

}  // namespace netsweep
