#include "listings.h"

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
    for (const std::string& line : lines) {
        if (toolkit::Contains(line, kNodeHeader)) listings.emplace_back();
        if (!listings.empty()) listings.back().push_back(line);
    }
    return listings;
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
