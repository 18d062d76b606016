// What netcmd reads of this machine's network state, gathered from the
// kernel. Only this and the *_linux.cpp files call the operating system;
// the layouts are built from the plain structures below.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "utils.h"

namespace netcmd {

struct Ipv4Address {
    std::string address;  // dotted
    std::string mask;     // dotted
};

struct Interface {
    std::string name;
    unsigned index = 0;
    bool up = false;
    bool running = false;  // up and with carrier
    bool loopback = false;
    std::vector<std::uint8_t> hardwareAddress;
    std::vector<Ipv4Address> ipv4;
    std::vector<std::string> ipv6LinkLocal;  // with "%<index>"
    std::vector<std::string> ipv6Other;
};

// Every interface of this namespace, in index order.
std::vector<Interface> ListInterfaces();

// The lines of a small text file, nullopt when it is missing, not a regular
// file, unreadable or larger than `maxBytes`.
std::optional<toolkit::TextList> ReadSmallTextFile(const std::string& path,
                                                   std::size_t maxBytes = 1 << 20);

}  // namespace netcmd
