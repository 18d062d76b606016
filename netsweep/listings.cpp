#include "listings.h"

#include <algorithm>

#include "lists.h"

namespace netsweep {
namespace {

constexpr const char* kUnique = "UNIQUE";
constexpr std::size_t kUniqueLength = 6;
constexpr const char* kNodeHeader = "Adresse IP du nœud";

std::string NameBeforeBracket(const std::string& line) {
    return toolkit::AsciiLower(toolkit::Trim(std::string_view(line).substr(0, line.find('<'))));
}

std::string FirstWord(std::string_view text) {
    return toolkit::Trim(text.substr(0, text.find(' ')));
}

}  // namespace

std::string FirstUniqueName(const TextList& lines) {
    for (const std::string& line : lines) {
        if (toolkit::Contains(line, kUnique)) return NameBeforeBracket(line);
    }
    return {};
}

std::vector<TextList> SplitNodeListings(const TextList& lines) {
    std::vector<TextList> listings;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (toolkit::Contains(lines[i], kNodeHeader)) {
            if (!listings.empty() && i > 0) listings.back().pop_back();  // the adapter's line
            listings.emplace_back();
            if (i > 0) listings.back().push_back(lines[i - 1]);
        }
        if (!listings.empty()) listings.back().push_back(lines[i]);
    }
    return listings;
}

std::string NodeListingName(const TextList& listing) {
    const auto header = std::find_if(listing.begin(), listing.end(), [](const std::string& line) {
        return toolkit::Contains(line, kNodeHeader);
    });
    if (header == listing.end()) return FirstUniqueName(listing);
    return FirstUniqueName(TextList(header + 1, listing.end()));
}

std::vector<CachedName> ReadNameCache(const TextList& lines) {
    std::vector<CachedName> names;
    for (const std::string& line : lines) {
        const std::size_t at = line.find(kUnique);
        if (at == std::string::npos) continue;
        const std::string rest = toolkit::Trim(
            std::string_view(line).substr(at + kUniqueLength, toolkit::kMaxFieldLength));
        names.push_back({FirstWord(rest), NameBeforeBracket(line)});
    }
    return names;
}

std::vector<ArpEntry> ReadArpTable(const TextList& lines) {
    std::vector<ArpEntry> entries;
    for (const std::string& line : lines) {
        if (!toolkit::Contains(line, "dynamique")) continue;
        const std::string trimmed = toolkit::Trim(line);
        const std::size_t space = trimmed.find(' ');
        const std::string rest =
            space == std::string::npos ? std::string() : toolkit::Trim(trimmed.substr(space));
        entries.push_back({trimmed.substr(0, space), NormalizeMac(FirstWord(rest))});
    }
    return entries;
}

}  // namespace netsweep
