#include "names.h"

#include <algorithm>

namespace korvane {

namespace {

constexpr std::size_t kMaxFileNameLength = 255;

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

}  // namespace

bool IsValidEntryName(std::string_view name) {
    if (name.empty() || name.size() > kMaxFileNameLength) return false;
    if (name.front() == '-' || name.front() == '.') return false;
    return std::all_of(name.begin(), name.end(), IsNameChar);
}

}  // namespace korvane
