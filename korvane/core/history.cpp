#include "korvane/core/history.h"

#include <algorithm>
#include <ctime>

#include "platform/append.h"
#include "platform/platform.h"
#include "utctime.h"

namespace korvane {

namespace {

constexpr std::size_t kMaxHistoryBytes = 64u * 1024 * 1024;

std::vector<StateChange> LoadPart(const std::string& path) {
    std::vector<StateChange> changes;
    if (!toolkit::platform::FileExists(path)) return changes;
    for (const std::string& line :
         toolkit::SplitLines(toolkit::platform::ReadRegularFile(path, kMaxHistoryBytes))) {
        if (auto change = ParseHistoryLine(line)) changes.push_back(std::move(*change));
    }
    return changes;
}

}  // namespace

std::string HistoryLine(const StateChange& change) {
    return toolkit::UtcText(change.time) + ";" + change.name + ";" + change.state;
}

std::optional<StateChange> ParseHistoryLine(std::string_view line) {
    const std::size_t first = line.find(';');
    const std::size_t last = line.rfind(';');
    if (first == std::string_view::npos || last == first || last + 2 != line.size()) {
        return std::nullopt;
    }
    const auto time = toolkit::ParseUtcText(line.substr(0, first));
    const std::string name(line.substr(first + 1, last - first - 1));
    const char state = line.back();
    if (!time || name.empty() || (state != '0' && state != '1' && state != '?')) {
        return std::nullopt;
    }
    return StateChange{*time, name, state};
}

HistoryWriter::HistoryWriter(std::string programDir) : programDir_(std::move(programDir)) {}

void HistoryWriter::MarkUnknown(std::int64_t now) {
    last_.clear();
    Append(now, HistoryLine({now, "*", '?'}) + "\n");
}

void HistoryWriter::Observe(std::int64_t now,
                            const std::vector<std::pair<std::string, bool>>& states) {
    std::string lines;
    std::map<std::string, char> seen = last_;
    for (const auto& [name, up] : states) {
        const char state = up ? '1' : '0';
        const auto known = seen.find(name);
        if (known != seen.end() && known->second == state) continue;
        seen[name] = state;
        lines += HistoryLine({now, name, state}) + "\n";
    }
    if (lines.empty()) return;
    Append(now, lines);
    last_ = std::move(seen);  // only once written: a failed write is tried again
}

std::optional<std::int64_t> HistoryWriter::FirstTimeOfCurrentPart() const {
    const std::vector<StateChange> current = LoadPart(programDir_ + kHistoryFile);
    if (current.empty()) return std::nullopt;
    return current.front().time;
}

// The part is turned over before the line that would make it too old.
void HistoryWriter::Append(std::int64_t now, const std::string& lines) {
    const std::string current = programDir_ + kHistoryFile;
    if (!partStartKnown_) {
        partStart_ = FirstTimeOfCurrentPart();
        partStartKnown_ = true;
    }
    if (partStart_ && now - *partStart_ >= kHistoryPartSeconds) {
        if (!toolkit::platform::RenameOver(current, programDir_ + kOlderHistoryFile)) {
            throw toolkit::FileError("Impossible de renommer « " + current +
                                     " » : " + toolkit::SystemErrorText(errno));
        }
        partStart_.reset();
    }
    toolkit::platform::AppendLines(current, lines);
    if (!partStart_) partStart_ = now;
}

std::vector<StateChange> LoadHistory(const std::string& programDir) {
    std::vector<StateChange> history = LoadPart(programDir + kOlderHistoryFile);
    std::vector<StateChange> current = LoadPart(programDir + kHistoryFile);
    history.insert(history.end(), std::make_move_iterator(current.begin()),
                   std::make_move_iterator(current.end()));
    return history;
}

std::vector<double> HoursOn(const std::vector<StateChange>& history, std::string_view name,
                            const std::vector<std::int64_t>& bounds, std::int64_t now) {
    std::vector<double> hours(bounds.empty() ? 0 : bounds.size() - 1, 0.0);
    std::optional<std::int64_t> onSince;
    const auto addSpan = [&](std::int64_t from, std::int64_t to) {
        for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
            const std::int64_t start = std::max(from, bounds[i]);
            const std::int64_t end = std::min(to, bounds[i + 1]);
            if (end > start) hours[i] += static_cast<double>(end - start) / 3600.0;
        }
    };
    for (const StateChange& change : history) {
        if (change.name != "*" && change.name != name) continue;
        if (onSince) addSpan(*onSince, change.time);
        onSince.reset();
        if (change.name == name && change.state == '1') onSince = change.time;
    }
    if (onSince) addSpan(*onSince, now);
    return hours;
}

std::vector<std::int64_t> LocalDayBounds(int year, int month, int day, int days) {
    std::vector<std::int64_t> bounds;
    for (int i = 0; i <= days; ++i) {
        std::tm local{};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day + i;  // mktime carries into the next months
        local.tm_isdst = -1;
        bounds.push_back(static_cast<std::int64_t>(std::mktime(&local)));
    }
    return bounds;
}

toolkit::TextList HistoryNames(const std::vector<StateChange>& history) {
    toolkit::TextList names;
    for (const StateChange& change : history) {
        if (change.name == "*") continue;
        if (std::find(names.begin(), names.end(), change.name) == names.end()) {
            names.push_back(change.name);
        }
    }
    return names;
}

}  // namespace korvane
