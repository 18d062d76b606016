#include "request.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "raw_ping.h"
#include "reseau.h"

namespace wolcmd {

namespace {

constexpr std::size_t kMinArguments = 3;
constexpr std::size_t kMaxArguments = 4;
constexpr std::uint32_t kMaxPort = 65535;

std::string Quoted(std::string_view text) {
    return "« " + std::string(text) + " »";
}

std::uint32_t HostOrder(std::string_view dotted) {
    const toolkit::IPv4 bytes = toolkit::HostToIPv4(dotted);
    std::uint32_t value = 0;
    for (const std::uint8_t byte : bytes) value = (value << 8) | byte;
    return value;
}

// Decimal digits only, 1 to 65535.
bool ParsePort(std::string_view text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5 || text.front() == '0') return false;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    std::uint32_t value = 0;
    for (const char c : text) value = value * 10 + static_cast<std::uint32_t>(c - '0');
    if (value > kMaxPort) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

ArgumentError CountError(std::size_t count) {
    static const std::array<const char*, kMinArguments> kMissing = {"l'adresse MAC", "l'adresse IP",
                                                                    "le masque de sous-réseau"};
    if (count < kMinArguments) {
        return {std::string("il manque ") + kMissing[count], kExitUsage};
    }
    return {"trop d'arguments", kExitUsage};
}

}  // namespace

bool IsNetmask(std::string_view text) {
    if (!toolkit::IsDottedIPv4(text)) return false;
    const std::uint32_t mask = HostOrder(text);
    const std::uint32_t hostBits = ~mask;
    return (hostBits & (hostBits + 1)) == 0;  // 0...01...1: the zeros only at the end of the mask
}

std::string DirectedBroadcast(std::string_view ip, std::string_view mask) {
    return toolkit::BroadcastAddress(ip, mask);
}

std::variant<WakeRequest, ArgumentError> ParseArguments(const std::vector<std::string_view>& args) {
    if (args.size() < kMinArguments || args.size() > kMaxArguments) return CountError(args.size());
    WakeRequest request;
    const auto mac = toolkit::ParseMac(args[0]);
    if (!mac) {
        return ArgumentError{"adresse MAC invalide : " + Quoted(args[0]) +
                             " (12 chiffres hexadécimaux, séparés par « - » ou « : » ou accolés)"};
    }
    request.mac = *mac;
    if (!toolkit::IsDottedIPv4(args[1])) {
        return ArgumentError{"adresse IP invalide : " + Quoted(args[1])};
    }
    if (!IsNetmask(args[2])) {
        return ArgumentError{"masque de sous-réseau invalide : " + Quoted(args[2])};
    }
    if (args.size() == kMaxArguments && !ParsePort(args[3], request.port)) {
        return ArgumentError{"port invalide : " + Quoted(args[3]) + " (de 1 à 65535)"};
    }
    request.destination = DirectedBroadcast(args[1], args[2]);
    return request;
}

}  // namespace wolcmd
