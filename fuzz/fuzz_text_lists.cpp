// The text lists on any bytes: the first line is a key, the rest a list.
// Lines saved with CR LF load back the same; the look-ups agree with each
// other; the case rules and the sorted list keep their promises.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "utils.h"

namespace {

using toolkit::TextList;

void CheckSplitting(const TextList& lines) {
    std::string saved;
    for (const auto& line : lines) {
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
        saved += line + "\r\n";
    }
    FUZZ_CHECK(toolkit::SplitLines(saved) == lines);
}

void CheckLookUps(const TextList& list, const std::string& key) {
    if (const auto index = toolkit::IndexOfKey(list, key)) {
        const auto [lineKey, value] = toolkit::SplitKeyValue(list[*index]);
        FUZZ_CHECK(toolkit::EqualsIgnoreCase(lineKey, key));
        FUZZ_CHECK(toolkit::ValueOfKey(list, key) == value);
    } else {
        FUZZ_CHECK(toolkit::ValueOfKey(list, key).empty());
    }
    if (const auto index = toolkit::IndexOfLine(list, key)) {
        FUZZ_CHECK(toolkit::EqualsIgnoreCase(list[*index], key));
    }
    const auto split = toolkit::SplitAtFirstSpace(key);
    FUZZ_CHECK(split.before.find(' ') == std::string::npos);
    FUZZ_CHECK(split.after.size() <= toolkit::kMaxFieldLength);
    FUZZ_CHECK(split.hasSpace == (key.find(' ') != std::string::npos));
}

void CheckCaseRules(const std::string& a, const std::string& b) {
    FUZZ_CHECK(toolkit::Trim(toolkit::Trim(a)) == toolkit::Trim(a));
    FUZZ_CHECK(toolkit::AsciiLower(toolkit::AsciiUpper(a)) == toolkit::AsciiLower(a));
    FUZZ_CHECK(toolkit::EqualsIgnoreCase(toolkit::AsciiUpper(a), toolkit::AsciiLower(a)));
    FUZZ_CHECK(toolkit::CompareIgnoreCase(a, b) == -toolkit::CompareIgnoreCase(b, a));
}

void CheckSortedList(const TextList& lines) {
    toolkit::SortedTextList sorted;
    for (const auto& line : lines) sorted.Add(line);
    const TextList& held = sorted.Lines();
    for (std::size_t i = 1; i < held.size(); ++i) {
        FUZZ_CHECK(toolkit::CompareIgnoreCase(held[i - 1], held[i]) < 0);
    }
    for (const auto& line : lines) FUZZ_CHECK(toolkit::IndexOfLine(held, line).has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TextList lines = toolkit::SplitLines(text);
    CheckSplitting(lines);
    if (lines.empty()) return 0;
    const std::string key = lines.front();
    lines.erase(lines.begin());
    CheckLookUps(lines, key);
    CheckCaseRules(key, lines.empty() ? std::string() : lines.front());
    CheckSortedList(lines);
    return 0;
}
