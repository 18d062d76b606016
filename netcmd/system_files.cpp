#include "system_files.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>
#include <cstdio>
#include <climits>
#include <cstdint>
#include <sstream>

#include "reseau.h"

namespace netcmd {
namespace {

std::vector<std::string> Words(std::string_view line) {
    std::istringstream in{std::string(line)};
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

bool IsNumericAddress(const std::string& text) {
    if (toolkit::IsDottedIPv4(text)) return true;
    in6_addr address{};
    const std::string withoutZone = text.substr(0, text.find('%'));
    return inet_pton(AF_INET6, withoutZone.c_str(), &address) == 1;
}

std::optional<std::uint32_t> Hex32(const std::string& text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string KernelOrderIpv4(std::uint32_t value) {
    in_addr address{};
    address.s_addr = value;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

// The value of a lease statement such as `interface "eth0";`.
std::string StatementValue(const std::vector<std::string>& words, std::size_t at) {
    if (words.size() <= at) return {};
    std::string value = words[at];
    if (!value.empty() && value.back() == ';') value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

ResolverSettings ParseResolvConf(const toolkit::TextList& lines) {
    ResolverSettings settings;
    for (const std::string& line : lines) {
        const auto words = Words(line);
        if (words.size() < 2 || words[0][0] == '#' || words[0][0] == ';') continue;
        if (words[0] == "nameserver" && IsNumericAddress(words[1])) {
            settings.nameServers.push_back(words[1]);
        } else if (words[0] == "domain" || words[0] == "search") {
            settings.domain = words[1];  // the resolver also lets the last one win
        }
    }
    return settings;
}

std::map<std::string, std::string> ParseDefaultGateways(const toolkit::TextList& lines) {
    constexpr std::uint32_t kRouteUp = 0x0001;
    constexpr std::uint32_t kRouteGateway = 0x0002;
    std::map<std::string, std::string> gateways;
    std::map<std::string, long> bestMetric;
    for (const std::string& line : lines) {
        const auto words = Words(line);
        if (words.size() < 8) continue;
        const auto destination = Hex32(words[1]);
        const auto gateway = Hex32(words[2]);
        const auto flags = Hex32(words[3]);
        const auto mask = Hex32(words[7]);
        if (!destination || !gateway || !flags || !mask) continue;  // the title line
        if (*destination != 0 || *mask != 0 || (*flags & kRouteUp) == 0 ||
            (*flags & kRouteGateway) == 0) {
            continue;
        }
        long metric = LONG_MAX;
        std::from_chars(words[6].data(), words[6].data() + words[6].size(), metric);
        const std::string& name = words[0];
        if (bestMetric.count(name) == 0 || metric < bestMetric[name]) {
            bestMetric[name] = metric;
            gateways[name] = KernelOrderIpv4(*gateway);
        }
    }
    return gateways;
}

std::optional<std::int64_t> ParseLeaseTime(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        if (word.starts_with("#")) break;  // dhclient's comment of the local time
        text += word + " ";
    }
    text = toolkit::Trim(text);
    if (text.ends_with(";")) text.pop_back();
    long long epoch = 0;
    char rest = 0;
    if (std::sscanf(text.c_str(), "epoch %lld%c", &epoch, &rest) == 1) return epoch;
    int weekday = 0, year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(text.c_str(), "%d %d/%d/%d %d:%d:%d%c", &weekday, &year, &month, &day, &hour,
                    &minute, &second, &rest) != 7 ||
        month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60) {
        return std::nullopt;
    }
    // Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<DhcpLease> ParseDhclientLeases(const toolkit::TextList& lines,
                                             const std::string& interfaceName, std::int64_t now) {
    std::optional<DhcpLease> found;
    bool inLease = false;
    bool expired = false;
    std::string leaseInterface;
    DhcpLease lease;
    for (const std::string& line : lines) {
        const auto words = Words(line);
        if (words.empty()) continue;
        if (words[0] == "lease" && words.back() == "{") {
            inLease = true;
            expired = false;
            leaseInterface.clear();
            lease = {};
        } else if (inLease && words[0] == "}") {
            inLease = false;
            if (leaseInterface == interfaceName && !expired) found = lease;
        } else if (inLease && words[0] == "expire") {
            const auto end = ParseLeaseTime(std::vector<std::string>(words.begin() + 1, words.end()));
            expired = end && *end <= now;
        } else if (inLease && words[0] == "interface") {
            leaseInterface = StatementValue(words, 1);
        } else if (inLease && words[0] == "option" && words.size() >= 3 &&
                   words[1] == "dhcp-server-identifier") {
            const std::string server = StatementValue(words, 2);
            if (toolkit::IsDottedIPv4(server)) lease.server = server;
        }
    }
    return found;
}

DhcpLease ParseNetworkdLease(const toolkit::TextList& lines) {
    DhcpLease lease;
    const std::string server = toolkit::Trim(toolkit::ValueOfKey(lines, "SERVER_ADDRESS"));
    if (toolkit::IsDottedIPv4(server)) lease.server = server;
    return lease;
}

std::optional<DhcpLease> ParseNetworkManagerDevice(const toolkit::TextList& lines) {
    std::optional<DhcpLease> lease;
    bool inDhcp4 = false;
    for (const std::string& line : lines) {
        const std::string text = toolkit::Trim(line);
        if (text.starts_with("[")) {
            inDhcp4 = text == "[dhcp4]";
            if (inDhcp4 && !lease) lease = DhcpLease{};
            continue;
        }
        if (!inDhcp4 || !lease->server.empty()) continue;
        // The options are written "dhcp4.<option>=value" in the group.
        auto [key, value] = toolkit::SplitKeyValue(text);
        key = toolkit::Trim(key);
        if (key.starts_with("dhcp4.")) key.erase(0, 6);
        value = toolkit::Trim(value);
        if (key == "dhcp_server_identifier" && toolkit::IsDottedIPv4(value)) lease->server = value;
    }
    return lease;
}

}  // namespace netcmd
