#include "names.h"

#include <algorithm>
#include <array>
#include <optional>

#include "utils.h"

namespace korvane {

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
    if (c == 0x1680 || c == 0x180E) return false;                     // Ogham and Mongolian spaces
    if (c >= 0x2000 && c <= 0x206F) return false;                     // spaces, marks, punctuation
    if (c >= 0x3000 && c <= 0x303F) return false;                     // CJK space and punctuation
    if (c >= 0xD800 && c <= 0xF8FF) return false;                     // surrogates, private use
    if ((c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF) return false;    // selectors, BOM
    if (c >= 0xFFF0 && c <= 0xFFFF) return false;                     // specials
    return c < 0xE0000;                                               // tags and private planes
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

constexpr std::array<std::string_view, 31> kReservedNames = {
    "localGM",
    "localIP",
    "etats",
    "log",
    "krv.ini",
    "settings.ini",
    "liste.ip",
    "liste.mac",
    "liste.known",
    "liste.patch",
    "liste.ip.discover",
    "liste.machines",
    "netsweep.lck",
    "ipactive",
    "wol.followup",
    "shutdown.followup",
    "shutdown.auth",
    "arret.ini",
    "liste.planning",
    "liste.protegees",
    "historique.etats",
    "historique.etats.ancien",
    "puissances.ini",
    "consommation.csv",
    "planning.lck",
    "planning.fait",
    "korvane",
    "netsweep",
    "hostping",
    "wolcmd",
    "netcmd",
};

}  // namespace

bool IsValidEntryName(std::string_view name) {
    if (name.empty() || name.size() > kMaxEntryNameLength) return false;
    if (name.front() == '-' || name.front() == '.') return false;
    for (std::size_t at = 0; at < name.size();) {
        const auto c = NextCodePoint(name, at);
        if (!c) return false;
        if (*c < 0x80 ? !IsAsciiNameCharacter(*c) : !IsWideNameCharacter(*c)) return false;
    }
    return true;
}

bool IsReservedFileName(std::string_view name) {
    const std::string lower = toolkit::AsciiLower(name);
    if (lower.ends_with(".bmp") || lower.ends_with(".exe")) return true;
    for (const std::string_view script : {"powerup", "shutdn"}) {
        if (lower.starts_with(script) && (lower.ends_with(".sh") || lower.ends_with(".bat")))
            return true;
    }
    return std::any_of(
        kReservedNames.begin(), kReservedNames.end(),
        [&](std::string_view reserved) { return toolkit::EqualsIgnoreCase(reserved, name); });
}

}  // namespace korvane
