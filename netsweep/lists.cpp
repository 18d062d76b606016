#include "lists.h"

#include <algorithm>
#include <unordered_set>

#include "entry_names.h"
#include "reseau.h"

namespace netsweep {
namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::optional<std::string> AfterSpaceOfHit(const NamedLines& list, std::string_view name,
                                           std::size_t& index) {
    index = 0;
    const auto hit = list.IndexOfName(name);
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

bool IsUsableName(std::string_view name) {
    return toolkit::IsPlainHostName(name) && toolkit::IsValidEntryName(name);
}

std::string UsableDnsName(std::string_view name) {
    if (IsUsableName(name)) return std::string(name);
    if (!toolkit::IsPlainHostName(name) || !toolkit::IsWindowsSpecialName(name)) return {};
    const std::string first = toolkit::ShortHostName(name);
    return IsUsableName(first) ? first : std::string();
}

TextList Ip2NameOf(const TextList& listeIP) {
    TextList entries;
    for (const std::string& line : listeIP) {
        const auto split = toolkit::SplitAtFirstSpace(toolkit::Trim(line));
        if (!IsUsableName(split.before) || split.after.empty()) continue;
        entries.push_back(split.after + "=" + split.before);
    }
    return entries;
}

TextList UsableDiscoverLines(const TextList& lines) {
    TextList usable;
    for (const std::string& line : lines) {
        if (IsUsableName(toolkit::SplitKeyValue(line).second)) usable.push_back(line);
    }
    return usable;
}

std::optional<std::string> DiscoveryLists::IpByName(std::string_view name) {
    return AfterSpaceOfHit(ListeIP, name, ipIndex);
}

std::optional<std::string> DiscoveryLists::MacByName(std::string_view name) {
    return AfterSpaceOfHit(ListeMAC, name, macIndex);
}

std::optional<std::string> DiscoveryLists::NameByMac(std::string_view mac) {
    macIndex = 0;
    const auto hit = ListeMAC.IndexOfValue(NormalizeMac(mac));
    if (!hit) return std::nullopt;
    macIndex = *hit;
    return toolkit::SplitAtFirstSpace(ListeMAC[*hit]).before;
}

std::string DiscoveryLists::NameOf(std::string_view address) const {
    return ip2name.ValueOfKey(address);
}

std::vector<std::string> ForgetMovedNames(DiscoveryLists& lists) {
    std::vector<std::string> moved;
    for (const std::string& entry : lists.ip2mac) {
        const auto [address, mac] = toolkit::SplitKeyValue(entry);
        const std::string name = lists.NameOf(address);
        if (name.empty()) continue;
        const auto known = lists.MacByName(toolkit::AsciiLower(toolkit::ShortHostName(name)));
        if (known && !toolkit::EqualsIgnoreCase(NormalizeMac(*known), NormalizeMac(mac))) {
            moved.emplace_back(address);
        }
    }
    if (moved.empty()) return moved;
    TextList kept;
    for (const std::string& entry : lists.ip2name.Lines()) {
        const std::string address = toolkit::SplitKeyValue(entry).first;
        const bool gone = std::any_of(moved.begin(), moved.end(), [&](const std::string& m) {
            return toolkit::EqualsIgnoreCase(m, address);
        });
        if (!gone) kept.push_back(entry);
    }
    lists.ip2name = std::move(kept);
    return moved;
}

void MergeNamesIntoListeIP(DiscoveryLists& lists, std::ostream& console) {
    for (const std::string& entry : lists.ip2name.Lines()) {
        const auto [address, value] = toolkit::SplitKeyValue(entry);
        const std::string name = toolkit::AsciiLower(value);
        if (name.empty()) continue;
        console << "Ajout ip2name vers ListeIP : " << name << " " << address << '\n';
        const auto known = lists.IpByName(name);
        if (!known) {
            lists.ListeIP.Append(name + " " + address);
        } else if (*known != address) {
            lists.ListeIP.Replace(lists.ipIndex, name + " " + address);
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
            lists.ListeMAC.Replace(lists.macIndex, line);
        }
        console << "Ajout ip2mac vers ListeMAC : " << line << '\n';
        const auto known = lists.MacByName(name);
        if (!known) {
            lists.ListeMAC.Append(line);
        } else if (*known != mac) {
            lists.ListeMAC.Replace(lists.macIndex, line);
        }
    }
}

void AddUnmanaged(DiscoveryLists& lists, const TextList& localGM) {
    std::unordered_set<std::string> managed;
    for (const std::string& line : localGM) managed.insert(toolkit::AsciiLower(line));
    for (const std::string& entry : lists.ip2name.Lines()) {
        const std::string name = lists.NameOf(toolkit::SplitKeyValue(entry).first);
        if (!managed.contains(toolkit::AsciiLower(name))) lists.ListeDiscover.Add(entry);
    }
}

}  // namespace netsweep
