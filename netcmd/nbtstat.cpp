#include "nbtstat.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "layout.h"
#include "reseau.h"

namespace netcmd {
namespace {

constexpr std::size_t kNameColumn = kNetbiosNameLength;

std::string TypeWord(bool group) {
    return group ? "GROUP " : "UNIQUE";
}

std::string NameColumns(std::string_view name, std::uint8_t suffix) {
    return "    " + PadRight(name, kNameColumn) + " <" + HexByte(suffix) + ">  ";
}

bool IsCleanName(std::string_view name) {
    return name.size() <= kNetbiosNameLength && SanitizeNetbiosName(name) == name;
}

std::optional<std::uint8_t> ParseHexByte(std::string_view text) {
    unsigned value = 0;
    if (text.size() != 2) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + 2, value, 16);
    if (error != std::errc{} || end != text.data() + 2) return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

std::optional<std::int64_t> ParseEpoch(std::string_view text) {
    std::int64_t value = 0;
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::vector<std::string_view> SplitSpaces(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = line.find(' ', start)) != std::string_view::npos; start = at + 1) {
        parts.push_back(line.substr(start, at - start));
    }
    parts.push_back(line.substr(start));
    return parts;
}

}  // namespace

std::string SanitizeNetbiosName(std::string_view raw) {
    std::string name(raw.substr(0, raw.find_last_not_of(' ') + 1));
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x21 || byte > 0x7E || c == '<' || c == '>') c = '_';
    }
    // The readers pick lines by the word "UNIQUE" and take the address after
    // its first occurrence: a name holding the word would move both.
    for (std::size_t at; (at = name.find("UNIQUE")) != std::string::npos;) name[at + 5] = '_';
    return name;
}

toolkit::TextList FormatNodeHeader(std::string_view adapterName, std::string_view localAddress) {
    return {"", std::string(adapterName) + ":",
            "Adresse IP du nœud : [" + std::string(localAddress) + "] ID d'étendue : []", ""};
}

toolkit::TextList FormatNodeStatus(const NodeStatus& status) {
    toolkit::TextList out = {
        "           Table de noms NetBIOS des ordinateurs distants",
        "",
        "       Nom               Type         Statut",
        "    " + std::string(45, '-'),
    };
    for (const NodeName& entry : status.names) {
        out.push_back(NameColumns(SanitizeNetbiosName(entry.name), entry.suffix) +
                      TypeWord(entry.IsGroup()) + "      Inscrit");
    }
    out.push_back("");
    out.push_back("    Adresse MAC = " + FormatHardwareAddress(status.unitId, true));
    out.push_back("");
    return out;
}

std::optional<CacheEntry> ParseCacheLine(std::string_view line) {
    const auto parts = SplitSpaces(line);
    if (parts.size() != 5 || (parts[3] != "U" && parts[3] != "G")) return std::nullopt;
    const auto time = ParseEpoch(parts[0]);
    const auto suffix = ParseHexByte(parts[2]);
    if (!time || !suffix || !toolkit::IsDottedIPv4(parts[1]) || !IsCleanName(parts[4])) {
        return std::nullopt;
    }
    return CacheEntry{*time, std::string(parts[1]), *suffix, parts[3] == "G",
                      std::string(parts[4])};
}

std::string FormatCacheLine(const CacheEntry& entry) {
    return std::to_string(entry.time) + " " + entry.address + " " + HexByte(entry.suffix) +
           (entry.group ? " G " : " U ") + entry.name;
}

std::vector<CacheEntry> LiveCacheEntries(const toolkit::TextList& lines, std::int64_t now) {
    std::vector<CacheEntry> live;
    for (const std::string& line : lines) {
        const auto entry = ParseCacheLine(line);
        // An entry from the future (the clock went back) cannot be aged: drop it.
        if (entry && entry->time <= now && now - entry->time < kCacheLifetimeSeconds) {
            live.push_back(*entry);
        }
    }
    return live;
}

std::vector<CacheEntry> MergeAnswer(std::vector<CacheEntry> cache, const std::string& address,
                                    const NodeStatus& status, std::int64_t now) {
    std::erase_if(cache, [&](const CacheEntry& entry) { return entry.address == address; });
    for (const NodeName& name : status.names) {
        cache.push_back(
            {now, address, name.suffix, name.IsGroup(), SanitizeNetbiosName(name.name)});
    }
    return cache;
}

toolkit::TextList FormatCacheLines(const std::vector<CacheEntry>& cache) {
    toolkit::TextList lines;
    for (const CacheEntry& entry : cache) lines.push_back(FormatCacheLine(entry));
    return lines;
}

toolkit::TextList FormatCacheTable(const std::vector<CacheEntry>& cache, std::int64_t now) {
    toolkit::TextList out = {
        "                  Table de noms du cache NetBIOS distant",
        "",
        "        Nom              Type       Adresse hôte    Durée de vie [sec]",
        "    " + std::string(62, '-'),
    };
    for (const CacheEntry& entry : cache) {
        const std::int64_t left = kCacheLifetimeSeconds - (now - entry.time);
        char seconds[24];
        std::snprintf(seconds, sizeof seconds, "%7lld", static_cast<long long>(left));
        out.push_back(NameColumns(entry.name, entry.suffix) + TypeWord(entry.group) + "          " +
                      PadRight(entry.address, 16) + seconds);
    }
    out.push_back("");
    return out;
}

}  // namespace netcmd
