#include "raw_ping.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "platform/platform.h"
#include "reseau.h"

namespace toolkit {
namespace {

constexpr IPv4 kNoAddress{0, 0, 0, 0};
constexpr auto kMaxTimeoutMs = std::numeric_limits<int>::max();
// The follow-ups of a silent host come after this share of its window: a
// host of the LAN answers within milliseconds, and what is left of the
// window still holds the retransmissions of a lossy link.
constexpr int kFollowUpDivisor = 4;

// Only called on text that IsDottedIPv4 accepted.
IPv4 ParseDotted(std::string_view text) {
    IPv4 address{};
    const char* cursor = text.data();
    const char* const end = text.data() + text.size();
    for (auto& byte : address) {
        std::from_chars(cursor, end, byte);
        cursor = std::find(cursor, end, '.');
        if (cursor != end) ++cursor;
    }
    return address;
}

// No host name is made of digits and dots only. The resolver would read such
// text by the old inet_aton rules ("010.1" is 8.0.0.1) or ask DNS for it, so
// it is an address or nothing.
bool LooksLikeAddress(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

std::uint32_t ToNetworkOrder(const IPv4& address) {
    std::uint32_t value = 0;
    std::memcpy(&value, address.data(), sizeof value);
    return value;
}

}  // namespace

IPv4 HostToIPv4(std::string_view text) {
    try {
        if (text.empty()) return kNoAddress;
        if (IsDottedIPv4(text)) return ParseDotted(text);
        if (LooksLikeAddress(text)) return kNoAddress;
        const auto resolved = platform::ResolveIPv4(std::string(text));
        if (!resolved) return kNoAddress;
        IPv4 address{};
        std::memcpy(address.data(), &*resolved, address.size());
        return address;
    } catch (...) {
        return kNoAddress;  // a failed conversion is an unknown host, never an error
    }
}

std::string ToDotted(const IPv4& address) {
    std::string text;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i > 0) text += '.';
        text += std::to_string(address[i]);
    }
    return text;
}

bool IcmpProbe(std::string_view text) {
    // Through the batch, so that one host and a sweep get the same verdict.
    const std::vector<bool> verdict = IcmpProbeAddresses({HostToIPv4(text)});
    return !verdict.empty() && verdict.front();
}

bool CanProbe() {
    return platform::IcmpSocketAvailable();
}

std::vector<bool> IcmpProbeMany(const std::vector<std::string>& texts,
                                std::chrono::milliseconds timeout) {
    std::vector<IPv4> addresses;
    try {
        addresses.reserve(texts.size());
        for (const auto& text : texts) addresses.push_back(HostToIPv4(text));
    } catch (...) {
        return std::vector<bool>(texts.size(), false);
    }
    return IcmpProbeAddresses(addresses, timeout);
}

namespace {

std::vector<std::uint32_t> Targets(const std::vector<IPv4>& addresses) {
    std::vector<std::uint32_t> targets;
    targets.reserve(addresses.size());
    // On Linux 0.0.0.0 reaches the local host, which would answer; the
    // platform layer never sends to it.
    for (const auto& address : addresses) targets.push_back(ToNetworkOrder(address));
    return targets;
}

int Milliseconds(std::chrono::milliseconds duration) {
    return static_cast<int>(
        std::clamp<std::chrono::milliseconds::rep>(duration.count(), 0, kMaxTimeoutMs));
}

}  // namespace

std::vector<bool> IcmpProbeAddresses(const std::vector<IPv4>& addresses,
                                     std::chrono::milliseconds timeout) {
    try {
        std::vector<bool> results = platform::EchoProbe(Targets(addresses), Milliseconds(timeout));
        results.resize(addresses.size(), false);
        return results;
    } catch (...) {
        return std::vector<bool>(addresses.size(), false);
    }
}

std::vector<bool> ProbeComputers(const std::vector<IPv4>& addresses,
                                 std::chrono::milliseconds window) {
    try {
        const int windowMs = Milliseconds(window);
        const int followUpMs = windowMs / kFollowUpDivisor;
        const platform::ReachPlan plan{
            windowMs, followUpMs, followUpMs, {kComputerPorts.begin(), kComputerPorts.end()}};
        std::vector<bool> results = platform::ReachProbe(Targets(addresses), plan);
        results.resize(addresses.size(), false);
        return results;
    } catch (...) {
        return std::vector<bool>(addresses.size(), false);
    }
}

}  // namespace toolkit
