#include "wakeonlan.h"

#include <cstdio>

namespace toolkit {

namespace {

constexpr std::size_t kMagicRepeats = 16;
constexpr std::size_t kBareLength = 12;       // 024B52000011
constexpr std::size_t kSeparatedLength = 17;  // 02-4B-52-00-00-11

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<MacAddress> ParseMac(std::string_view text) {
    std::size_t stride = 2;
    char separator = '\0';
    if (text.size() == kSeparatedLength) {
        separator = text[2];
        if (separator != ':' && separator != '-') return std::nullopt;
        stride = 3;
    } else if (text.size() != kBareLength) {
        return std::nullopt;
    }
    MacAddress mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::size_t at = stride * i;
        const int high = HexDigit(text[at]);
        const int low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        if (stride == 3 && i + 1 < mac.size() && text[at + 2] != separator) return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return mac;
}

std::vector<std::uint8_t> MagicPacket(const MacAddress& mac) {
    std::vector<std::uint8_t> packet(6, 0xFF);
    packet.reserve(6 + kMagicRepeats * mac.size());
    for (std::size_t i = 0; i < kMagicRepeats; ++i)
        packet.insert(packet.end(), mac.begin(), mac.end());
    return packet;
}

std::string MacText(const MacAddress& mac) {
    char text[18] = {};
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

}  // namespace toolkit
