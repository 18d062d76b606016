#include "korvane/core/KrvVar.h"

#include <charconv>
#include <initializer_list>

#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

using toolkit::SplitAtFirstSpace;

// The value part of a "name value" line; a line without a space has none.
std::string ValuePart(const std::string& line) {
    return SplitAtFirstSpace(line).after;
}

int WholeNumberOr(const TextList& lines, std::string_view key, int fallback) {
    int value = 0;
    return ParseWholeNumber(toolkit::ValueOfKey(lines, key), value) ? value : fallback;
}

std::string SettingsPath() {
    return toolkit::ProgramDir() + kSettingsFile;
}

}  // namespace

std::string FindIP(const TextList& ipList, std::string_view name) {
    const auto hit = toolkit::IndexOfName(ipList, name);
    return hit ? ValuePart(ipList[*hit]) : std::string();
}

std::string FindMAC(const TextList& macList, std::string_view name) {
    const auto hit = toolkit::IndexOfName(macList, name);
    return hit ? ValuePart(macList[*hit]) : std::string();
}

std::string FindName(const TextList& ipList, std::string_view address) {
    const auto hit = toolkit::IndexOfValue(ipList, toolkit::Trim(address));
    if (!hit) return {};
    const auto split = SplitAtFirstSpace(ipList[*hit]);
    return split.hasSpace ? split.before.substr(0, toolkit::kMaxFieldLength) : std::string();
}

bool ParseWholeNumber(std::string_view text, int& value) {
    // from_chars takes a "-" but not a "+"; a "+" must still be followed by a digit.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() < '0' || text.front() > '9') return false;
    }
    int parsed = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, parsed);
    if (error != std::errc() || stop != end) return false;
    value = parsed;
    return true;
}

int ClampEntriesPerRow(int nbyrow) {
    if (nbyrow < 1) return Settings{}.nbyrow;
    return nbyrow > kMaxEntriesPerRow ? kMaxEntriesPerRow : nbyrow;
}

Settings ParseSettings(const TextList& lines) {
    const Settings defaults;
    Settings settings;
    settings.pdc = toolkit::ValueOfKey(lines, "pdc");
    settings.esu = toolkit::ValueOfKey(lines, "esu");
    settings.left = WholeNumberOr(lines, "left", defaults.left);
    settings.top = WholeNumberOr(lines, "top", defaults.top);
    settings.height = WholeNumberOr(lines, "height", defaults.height);
    settings.nbyrow = ClampEntriesPerRow(WholeNumberOr(lines, "nbyrow", defaults.nbyrow));
    return settings;
}

TextList SettingsLines(const Settings& settings) {
    return {"pdc=" + settings.pdc,
            "esu=" + settings.esu,
            "left=" + std::to_string(settings.left),
            "top=" + std::to_string(settings.top),
            "height=" + std::to_string(settings.height),
            "nbyrow=" + std::to_string(settings.nbyrow)};
}

// Entries past the end of the list (it shrank since the last map build) have
// no name to write and are left out.
TextList EntrySettingsLines(const TextList& managed, int lastEntry) {
    TextList lines;
    for (int entry = 0; entry <= lastEntry && entry < static_cast<int>(managed.size()); ++entry) {
        lines.push_back(managed[static_cast<std::size_t>(entry)]);
        lines.emplace_back("bof");
        lines.emplace_back("bof");
    }
    return lines;
}

std::string KrvVar::FindIP(std::string_view name) const {
    return korvane::FindIP(IpList, name);
}

std::string KrvVar::FindMAC(std::string_view name) const {
    return korvane::FindMAC(MacList, name);
}

std::string KrvVar::FindName(std::string_view address) const {
    return korvane::FindName(IpList, address);
}

// The file is read by bare name, as Korvane runs in its program folder; a
// missing one is created in the program folder, never over an existing one
// there when the two folders differ.
void KrvVar::LoadSettings() {
    settings.nbyrow = 3;
    if (toolkit::platform::FileExists(kSettingsFile)) {
        settings = ParseSettings(toolkit::LoadLines(kSettingsFile));
        return;
    }
    settings = Settings{};
    if (!toolkit::platform::FileExists(SettingsPath())) toolkit::SaveLines(SettingsPath(), {});
}

void KrvVar::SaveSettings(int left, int top, int height) {
    Settings saved = settings;
    saved.left = left;
    saved.top = top;
    saved.height = height;
    toolkit::SaveLines(SettingsPath(), SettingsLines(saved));
    settings = saved;
}


TextList LoadOrCreateList(const std::string& path) {
    if (toolkit::platform::FileExists(path)) return toolkit::LoadLines(path);
    toolkit::SaveLines(path, {});
    return {};
}

}  // namespace korvane
