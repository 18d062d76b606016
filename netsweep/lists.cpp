#include "lists.h"

#include <algorithm>

namespace netsweep {
namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The first line holding one of the two forms; the index is 0 when none does.
std::optional<std::size_t> FirstLineHolding(const TextList& list, std::string_view upper,
                                            std::string_view lower) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (toolkit::Contains(list[i], upper) || toolkit::Contains(list[i], lower)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> AfterSpaceOfHit(const TextList& list, std::string_view name,
                                           std::size_t& index) {
    index = 0;
    if (name.empty()) return std::nullopt;
    const auto hit = FirstLineHolding(list, toolkit::AsciiUpper(name), toolkit::AsciiLower(name));
    if (!hit) return std::nullopt;
    index = *hit;
    return toolkit::SplitAtFirstSpace(list[*hit]).after;
}

}  // namespace

std::string NormalizeMac(std::string_view text) {
    std::string mac = toolkit::AsciiUpper(toolkit::Trim(text));
    std::replace(mac.begin(), mac.end(), ':', '-');
    return mac;
}

bool IsMacText(std::string_view text) {
    if (text.size() != 17) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool separator = i % 3 == 2;
        if (separator ? (text[i] != '-' && text[i] != ':') : !IsHexDigit(text[i])) return false;
    }
    return true;
}

TextList LoadListeIP(const std::string& path) {
    TextList lines = toolkit::LoadLines(path);
    for (std::string& line : lines) line = toolkit::AsciiLower(line);
    return lines;
}

TextList LoadListeMAC(const std::string& path) {
    TextList lines = toolkit::LoadLines(path);
    for (std::string& line : lines) line = NormalizeMac(line);
    return lines;
}

TextList Ip2NameOf(const TextList& listeIP) {
    TextList entries;
    for (const std::string& line : listeIP) {
        const auto split = toolkit::SplitAtFirstSpace(toolkit::Trim(line));
        if (split.before.empty() || split.after.empty()) continue;
        entries.push_back(split.after + "=" + split.before);
    }
    return entries;
}

std::optional<std::string> DiscoveryLists::IpByName(std::string_view name) {
    return AfterSpaceOfHit(ListeIP, name, ipIndex);
}

std::optional<std::string> DiscoveryLists::MacByName(std::string_view name) {
    return AfterSpaceOfHit(ListeMAC, name, macIndex);
}

std::optional<std::string> DiscoveryLists::NameByMac(std::string_view mac) {
    macIndex = 0;
    const std::string normalized = NormalizeMac(mac);
    if (normalized.empty()) return std::nullopt;
    const auto hit = FirstLineHolding(ListeMAC, normalized, normalized);
    if (!hit) return std::nullopt;
    macIndex = *hit;
    return toolkit::SplitAtFirstSpace(ListeMAC[*hit]).before;
}

std::string DiscoveryLists::NameOf(std::string_view address) const {
    return toolkit::ValueOfKey(ip2name, address);
}

void MergeNamesIntoListeIP(DiscoveryLists& lists, std::ostream& console) {
    for (const std::string& entry : lists.ip2name) {
        const auto [address, value] = toolkit::SplitKeyValue(entry);
        const std::string name = toolkit::AsciiLower(value);
        if (name.empty()) continue;
        console << "Ajout ip2name vers ListeIP : " << name << " " << address << '\n';
        const auto known = lists.IpByName(name);
        if (!known) {
            lists.ListeIP.push_back(name + " " + address);
        } else if (*known != address) {
            lists.ListeIP[lists.ipIndex] = name + " " + address;
        }
    }
}

void MergeMacsIntoListeMAC(DiscoveryLists& lists, const ResolveFunction& resolve,
                           std::ostream& console) {
    for (std::size_t i = 0; i < lists.ip2mac.size(); ++i) {
        // resolve() may add to ip2name, never to ip2mac; the entry is copied all the same.
        const auto [address, mac] = toolkit::SplitKeyValue(lists.ip2mac[i]);
        const std::string name = resolve(address);
        if (name.empty()) continue;
        const std::string line = name + " " + mac;
        if (const auto owner = lists.NameByMac(mac); owner && *owner != name) {
            lists.ListeMAC[lists.macIndex] = line;
        }
        console << "Ajout ip2mac vers ListeMAC : " << line << '\n';
        const auto known = lists.MacByName(name);
        if (!known) {
            lists.ListeMAC.push_back(line);
        } else if (*known != mac) {
            lists.ListeMAC[lists.macIndex] = line;
        }
    }
}

void AddUnmanaged(DiscoveryLists& lists, const TextList& localGM) {
    for (const std::string& entry : lists.ip2name) {
        const std::string name = lists.NameOf(toolkit::SplitKeyValue(entry).first);
        if (!toolkit::IndexOfLine(localGM, name)) lists.ListeDiscover.Add(entry);
    }
}

}  // namespace netsweep
