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
            const char* name = platform::SystemErrorName(error);
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

namespace {

// An editor's "UTF-8 with BOM" starts with the byte order mark, which is no
// part of the first line.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

TextList LoadText(const std::string& path, platform::TextOrigin origin) {
    const std::string bytes = platform::ReadRegularFile(path, kMaxListBytes);
    std::string_view text = bytes;
    if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
    TextList lines = SplitLines(text);
    for (auto& line : lines) line = platform::LineAsUtf8(std::move(line), origin);
    return lines;
}

}  // namespace

TextList LoadLines(const std::string& path) {
    return LoadText(path, platform::TextOrigin::List);
}

TextList LoadOutputLines(const std::string& path) {
    return LoadText(path, platform::TextOrigin::ConsoleOutput);
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
    platform::ReplaceFile(path, platform::FileBytesFor(path, CrLfText(lines)));
}

void SaveLinesTogether(const std::vector<std::pair<std::string, const TextList*>>& files) {
    std::vector<std::pair<std::string, std::string>> contents;
    contents.reserve(files.size());
    for (const auto& [path, lines] : files) contents.emplace_back(path, CrLfText(*lines));
    platform::ReplaceFiles(contents);
}

void SaveLinesInPlace(const std::string& path, const TextList& lines) {
    platform::WriteFileInPlace(path, CrLfText(lines));
}

void SaveText(const std::string& path, std::string_view bytes) {
    platform::ReplaceFile(path, platform::FileBytesFor(path, bytes));
}

std::string Quoted(std::string_view text) {
    return "« " + std::string(text) + " »";
}

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
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

std::string ListName(std::string_view line) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::string name = Trim(line);
    if (!name.starts_with(kByteOrderMark)) return name;
    return Trim(std::string_view(name).substr(kByteOrderMark.size()));
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
    while (!value.empty() && static_cast<unsigned char>(value.front()) <= 32)
        value.remove_prefix(1);
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

NamedLines::NamedLines(TextList lines) {
    *this = std::move(lines);
}

NamedLines& NamedLines::operator=(TextList lines) {
    lines_ = std::move(lines);
    names_ = {};
    values_ = {};
    return *this;
}

const NamedLines::Positions& NamedLines::Built(Index& index, FieldOf field) const {
    if (!index.built) {
        index.positions.reserve(lines_.size());
        for (std::size_t i = 0; i < lines_.size(); ++i)
            Insert(index.positions, field(lines_[i]), i);
        index.built = true;
    }
    return index.positions;
}

void NamedLines::Insert(Positions& positions, std::string_view field, std::size_t index) {
    if (field.empty()) return;
    const auto [place, added] = positions.try_emplace(AsciiLower(field), Indexes{index, {}});
    if (added) return;
    Indexes& indexes = place->second;
    if (index < indexes.first) std::swap(index, indexes.first);
    indexes.more.insert(std::lower_bound(indexes.more.begin(), indexes.more.end(), index), index);
}

void NamedLines::Erase(Positions& positions, std::string_view field, std::size_t index) {
    if (field.empty()) return;
    const auto found = positions.find(AsciiLower(field));
    if (found == positions.end()) return;
    Indexes& indexes = found->second;
    if (indexes.first == index) {
        if (indexes.more.empty()) {
            positions.erase(found);
            return;
        }
        indexes.first = indexes.more.front();
        indexes.more.erase(indexes.more.begin());
        return;
    }
    const auto at = std::lower_bound(indexes.more.begin(), indexes.more.end(), index);
    if (at != indexes.more.end() && *at == index) indexes.more.erase(at);
}

std::optional<std::size_t> NamedLines::First(const Positions& positions, std::string_view field) {
    if (field.empty()) return std::nullopt;
    const auto found = positions.find(AsciiLower(field));
    if (found == positions.end()) return std::nullopt;
    return found->second.first;
}

std::optional<std::size_t> NamedLines::IndexOfName(std::string_view name) const {
    return First(Built(names_, NameField), name);
}

std::optional<std::size_t> NamedLines::IndexOfValue(std::string_view value) const {
    return First(Built(values_, ValueField), value);
}

void NamedLines::Replace(std::size_t index, std::string line) {
    for (auto [built, field] : {std::pair{&names_, &NameField}, std::pair{&values_, &ValueField}}) {
        if (built->built) Erase(built->positions, field(lines_.at(index)), index);
    }
    lines_.at(index) = std::move(line);
    for (auto [built, field] : {std::pair{&names_, &NameField}, std::pair{&values_, &ValueField}}) {
        if (built->built) Insert(built->positions, field(lines_[index]), index);
    }
}

void NamedLines::Append(std::string line) {
    lines_.push_back(std::move(line));
    if (names_.built) Insert(names_.positions, NameField(lines_.back()), lines_.size() - 1);
    if (values_.built) Insert(values_.positions, ValueField(lines_.back()), lines_.size() - 1);
}

KeyedLines::KeyedLines(TextList lines) {
    *this = std::move(lines);
}

KeyedLines& KeyedLines::operator=(TextList lines) {
    lines_.clear();
    first_.clear();
    lines_.reserve(lines.size());
    first_.reserve(lines.size());
    for (std::string& line : lines) Append(std::move(line));
    return *this;
}

void KeyedLines::Append(std::string line) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) {
        first_.try_emplace(AsciiLower(std::string_view(line).substr(0, equals)), lines_.size());
    }
    lines_.push_back(std::move(line));
}

bool KeyedLines::HasKey(std::string_view key) const {
    return first_.contains(AsciiLower(key));
}

std::string KeyedLines::ValueOfKey(std::string_view key) const {
    const auto found = first_.find(AsciiLower(key));
    return found == first_.end() ? std::string() : SplitKeyValue(lines_[found->second]).second;
}

bool SortedTextList::Add(std::string_view line) {
    const bool added = set_.emplace(line).second;
    stale_ = stale_ || added;
    return added;
}

const TextList& SortedTextList::Lines() const {
    if (stale_) lines_.assign(set_.begin(), set_.end());
    stale_ = false;
    return lines_;
}

void SortedTextList::LoadFrom(const std::string& path) {
    for (const auto& line : LoadLines(path)) Add(line);
}

}  // namespace toolkit
