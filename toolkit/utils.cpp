#include "utils.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace toolkit {

std::string SystemErrorText(int error) {
    switch (error) {
        case ENOENT:
            return "fichier ou dossier introuvable";
        case EACCES:
        case EPERM:
            return "permission refusée";
        case EISDIR:
            return "c'est un dossier";
        case ENOTDIR:
            return "un élément du chemin n'est pas un dossier";
        case ENOSPC:
            return "plus de place sur le disque";
        case EDQUOT:
            return "quota de disque dépassé";
        case EROFS:
            return "système de fichiers en lecture seule";
        case ELOOP:
            return "trop de liens symboliques";
        case ENAMETOOLONG:
            return "nom trop long";
        case EMFILE:
        case ENFILE:
            return "trop de fichiers ouverts";
        case EIO:
            return "erreur d'entrée-sortie";
        case EBUSY:
            return "ressource occupée";
        case EEXIST:
            return "le fichier existe déjà";
        case ENETUNREACH:
            return "réseau injoignable (aucune route vers ce réseau)";
        case EHOSTUNREACH:
            return "hôte injoignable";
        case ENETDOWN:
            return "réseau hors service";
        case EADDRNOTAVAIL:
            return "adresse indisponible sur cette machine";
        case ECONNREFUSED:
            return "connexion refusée";
        case ETIMEDOUT:
            return "délai d'attente dépassé";
        case EMSGSIZE:
            return "message trop long";
        case ENOBUFS:
        case ENOMEM:
            return "mémoire insuffisante";
        case EAFNOSUPPORT:
            return "famille d'adresses non prise en charge";
        case EINVAL:
            return "argument invalide";
        default: {
            // The error's symbolic name, where the C library knows it, rather
            // than its English description.
            const char* name = strerrorname_np(error);
            return std::string("erreur système ") + std::to_string(error) +
                   (name != nullptr ? std::string(" (") + name + ")" : std::string());
        }
    }
}

namespace {

char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char UpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// A line without "=" has no key: it never matches a key look-up.
bool KeyEquals(std::string_view line, std::string_view key) {
    const std::size_t equals = line.find('=');
    return equals != std::string_view::npos && EqualsIgnoreCase(line.substr(0, equals), key);
}

}  // namespace

TextList LoadLines(const std::string& path) {
    return SplitLines(platform::ReadRegularFile(path, kMaxListBytes));
}

TextList SplitLines(std::string_view text) {
    TextList lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        start = end + (crLf ? 2 : 1);
    }
    return lines;
}

namespace {
std::string CrLfText(const TextList& lines) {
    std::string bytes;
    std::size_t total = 0;
    for (const auto& line : lines) total += line.size() + 2;
    bytes.reserve(total);
    for (const auto& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}
}  // namespace

void SaveLines(const std::string& path, const TextList& lines) {
    platform::ReplaceFile(path, CrLfText(lines));
}

void SaveLinesInPlace(const std::string& path, const TextList& lines) {
    platform::WriteFileInPlace(path, CrLfText(lines));
}

void SaveText(const std::string& path, std::string_view bytes) {
    platform::ReplaceFile(path, std::string(bytes));
}

std::string AsciiLower(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), LowerChar);
    return result;
}

std::string AsciiUpper(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), UpperChar);
    return result;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareIgnoreCase(a, b) == 0;
}

int CompareIgnoreCase(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto left = static_cast<unsigned char>(LowerChar(a[i]));
        const auto right = static_cast<unsigned char>(LowerChar(b[i]));
        if (left != right) return left < right ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

namespace {

// Punctuation and symbols, then digits, then letters.
int SortClass(unsigned char lowered) {
    if (lowered >= '0' && lowered <= '9') return 1;
    if ((lowered >= 'a' && lowered <= 'z') || lowered >= 0x80) return 2;
    return 0;
}

}  // namespace

int CompareSortOrder(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto left = static_cast<unsigned char>(LowerChar(a[i]));
        const auto right = static_cast<unsigned char>(LowerChar(b[i]));
        if (left == right) continue;
        const int leftClass = SortClass(left), rightClass = SortClass(right);
        if (leftClass != rightClass) return leftClass < rightClass ? -1 : 1;
        return left < right ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string Trim(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlankOrControl(text[first])) ++first;
    while (last > first && IsBlankOrControl(text[last - 1])) --last;
    return std::string(text.substr(first, last - first));
}

bool Contains(std::string_view line, std::string_view text) {
    return line.find(text) != std::string_view::npos;
}

std::optional<std::size_t> IndexOfLine(const TextList& list, std::string_view line) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (EqualsIgnoreCase(list[i], line)) return i;
    }
    return std::nullopt;
}

std::string_view NameField(std::string_view line) {
    return line.substr(0, line.find(' '));
}

std::string_view ValueField(std::string_view line) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return {};
    std::string_view value = line.substr(space + 1);
    while (!value.empty() && static_cast<unsigned char>(value.front()) <= 32) value.remove_prefix(1);
    while (!value.empty() && static_cast<unsigned char>(value.back()) <= 32) value.remove_suffix(1);
    return value;
}

std::optional<std::size_t> IndexOfName(const TextList& list, std::string_view name) {
    if (name.empty()) return std::nullopt;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (EqualsIgnoreCase(NameField(list[i]), name)) return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> IndexOfValue(const TextList& list, std::string_view value) {
    if (value.empty()) return std::nullopt;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (EqualsIgnoreCase(ValueField(list[i]), value)) return i;
    }
    return std::nullopt;
}

std::pair<std::string, std::string> SplitKeyValue(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return {std::string(line), std::string()};
    return {std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))};
}

std::optional<std::size_t> IndexOfKey(const TextList& list, std::string_view key) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (KeyEquals(list[i], key)) return i;
    }
    return std::nullopt;
}

std::string ValueOfKey(const TextList& list, std::string_view key) {
    const auto index = IndexOfKey(list, key);
    return index ? SplitKeyValue(list[*index]).second : std::string();
}

SpaceSplit SplitAtFirstSpace(std::string_view line) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return {std::string(line), std::string(), false};
    return {std::string(line.substr(0, space)),
            std::string(line.substr(space + 1, kMaxFieldLength)), true};
}

bool SortedTextList::Add(std::string_view line) {
    const auto place = std::lower_bound(
        lines_.begin(), lines_.end(), line,
        [](const std::string& held, auto text) { return CompareSortOrder(held, text) < 0; });
    if (place != lines_.end() && CompareSortOrder(*place, line) == 0) return false;
    lines_.emplace(place, line);
    return true;
}

void SortedTextList::LoadFrom(const std::string& path) {
    for (const auto& line : LoadLines(path)) Add(line);
}

}  // namespace toolkit
