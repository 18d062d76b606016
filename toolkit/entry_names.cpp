#include "entry_names.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

#include "utils.h"

namespace toolkit {

namespace {

bool IsAsciiNameCharacter(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

// Outside ASCII: the letters of the world's scripts, without the Latin-1
// controls, symbols and punctuation (U+0080 to U+00BF, U+00D7, U+00F7), the
// spaces, invisible characters and punctuation of U+2000 to U+206F, the
// ideographic space and punctuation, the private use area and the specials.
bool IsWideNameCharacter(char32_t c) {
    if (c < 0xC0 || c == 0xD7 || c == 0xF7) return false;
    if (c == 0x1680 || c == 0x180E) return false;                   // Ogham and Mongolian spaces
    if (c >= 0x2000 && c <= 0x206F) return false;                   // spaces, marks, punctuation
    if (c >= 0x3000 && c <= 0x303F) return false;                   // CJK space and punctuation
    if (c >= 0xD800 && c <= 0xF8FF) return false;                   // surrogates, private use
    if ((c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF) return false;  // selectors, BOM
    if (c >= 0xFFF0 && c <= 0xFFFF) return false;                   // specials
    return c < 0xE0000;                                             // tags and private planes
}

// The next code point of strict UTF-8 (no overlong form, no surrogate), or
// nullopt; advances `at` past it.
std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t value = 0;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (text.size() - at < length) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        value = (value << 6) | (next & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    at += length;
    return value;
}

// Every extension of a default PATHEXT, .ps1, which administrators often add
// to it, and the programs that CreateProcess starts like an .exe (.scr, .pif).
constexpr std::string_view kProgramExtensions[] = {
    "com", "exe", "bat", "cmd", "vbs", "vbe", "js",  "jse",
    "wsf", "wsh", "msc", "cpl", "ps1", "scr", "pif",
};

bool IsDeviceName(std::string_view base) {
    for (const std::string_view device : {"con", "prn", "aux", "nul"}) {
        if (base == device) return true;
    }
    return base.size() == 4 && (base.starts_with("com") || base.starts_with("lpt")) &&
           base[3] >= '0' && base[3] <= '9';
}

}  // namespace

bool IsWindowsSpecialName(std::string_view name) {
    std::string lower = AsciiLower(name);
    while (!lower.empty() && (lower.back() == '.' || lower.back() == ' ')) lower.pop_back();
    // "nul .txt" is the device too: the blanks before the dot do not count.
    std::string_view base = std::string_view(lower).substr(0, lower.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    if (IsDeviceName(base)) return true;
    const std::size_t dot = lower.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string_view extension = std::string_view(lower).substr(dot + 1);
    return std::find(std::begin(kProgramExtensions), std::end(kProgramExtensions), extension) !=
           std::end(kProgramExtensions);
}

bool IsValidEntryName(std::string_view name) {
    if (name.empty() || name.size() > kMaxEntryNameLength) return false;
    if (IsWindowsSpecialName(name)) return false;
    if (name.front() == '-' || name.front() == '.') return false;
    for (std::size_t at = 0; at < name.size();) {
        const auto c = NextCodePoint(name, at);
        if (!c) return false;
        if (*c < 0x80 ? !IsAsciiNameCharacter(*c) : !IsWideNameCharacter(*c)) return false;
    }
    return true;
}

const char* EntryNameRule(std::string_view name) {
    return IsWindowsSpecialName(name) ? kWindowsNameRule : kEntryNameRule;
}

}  // namespace toolkit
