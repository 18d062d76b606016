// "arp -a": the kernel's IPv4 neighbour table, grouped by interface, in the
// layout of a French Windows. Lines of resolved neighbours carry the word
// "dynamique" (or "statique"), the address first and the MAC second.
#pragma once

#include <string>
#include <vector>

#include "utils.h"

namespace netcmd {

struct ArpEntry {
    std::string address;  // dotted
    std::string mac;      // xx-xx-xx-xx-xx-xx, lower case
    std::string device;
    bool permanent = false;
};

// The complete entries of /proc/net/arp; unresolved and malformed rows are skipped.
std::vector<ArpEntry> ParseProcArp(const toolkit::TextList& lines);

struct ArpInterface {
    std::string name;
    unsigned index = 0;
    std::string address;  // its first IPv4 address
};

toolkit::TextList FormatArpTable(const std::vector<ArpInterface>& interfaces,
                                 const std::vector<ArpEntry>& entries);

// Interfaces with an IPv4 address other than loopback, in index order.
std::vector<ArpInterface> ArpInterfaces();

}  // namespace netcmd
