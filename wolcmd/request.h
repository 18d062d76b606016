// What a wolcmd command line asks for: which adapter to wake, where the
// packet goes, or what is wrong with the arguments.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "wakeonlan.h"

namespace wolcmd {

inline constexpr std::uint16_t kDefaultPort = 7;

inline constexpr int kExitSent = 0;
inline constexpr int kExitBadArgument = 1;
inline constexpr int kExitUsage = 2;

struct WakeRequest {
    toolkit::MacAddress mac{};
    std::string destination;  // dotted IPv4
    std::uint16_t port = kDefaultPort;
};

// A French message naming what is wrong, and the exit status it ends with.
struct ArgumentError {
    std::string message;
    int exitStatus = kExitBadArgument;
};

// The arguments after the program name: MAC IP MASK [PORT].
std::variant<WakeRequest, ArgumentError> ParseArguments(const std::vector<std::string_view>& args);

// IP OR NOT MASK: the broadcast address of the IP's subnet.
std::string DirectedBroadcast(std::string_view ip, std::string_view mask);

// A dotted mask whose one bits all come before its zero bits.
bool IsNetmask(std::string_view text);

}  // namespace wolcmd
