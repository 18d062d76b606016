#include "korvane/core/history.h"

#include <algorithm>
#include <ctime>

#include "platform/append.h"
#include "platform/platform.h"
#include "utctime.h"

namespace korvane {

namespace {

// Where the first line of a part is looked for: the first line that parses
// lies far within it.
constexpr std::size_t kHeadBytes = 64 * 1024;

// The changes of the text's lines, in order, each line looked at where it
// lies: no copy of the lines is made.
void ParseLines(std::string_view text, std::vector<StateChange>& changes) {
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
        if (auto change = ParseHistoryLine(text.substr(0, end))) {
            changes.push_back(std::move(*change));
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}

// Of a part too large to read whole, its newest bytes from the first line
// that starts among them.
std::vector<StateChange> LoadPart(const std::string& path) {
    std::vector<StateChange> changes;
    if (!toolkit::platform::FileExists(path)) return changes;
    const auto stamp = toolkit::platform::StampOf(path);
    const std::uint64_t size = stamp ? stamp->size : 0;
    const std::uint64_t from = size > kHistoryReadBytes ? size - kHistoryReadBytes : 0;
    const std::string bytes = toolkit::platform::ReadFilePart(path, from, kHistoryReadBytes);
    std::string_view text = bytes;
    if (from > 0) text.remove_prefix(std::min(text.find('\n') + 1, text.size()));
    ParseLines(text, changes);
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

// Only the part's start is read, however large the part is: the lines of a
// head cut short are left to the parser, which skips a cut one.
std::optional<std::int64_t> HistoryWriter::FirstTimeOfCurrentPart() const {
    const std::string path = programDir_ + kHistoryFile;
    if (!toolkit::platform::FileExists(path)) return std::nullopt;
    std::vector<StateChange> changes;
    ParseLines(toolkit::platform::ReadFilePart(path, 0, kHeadBytes), changes);
    if (changes.empty()) return std::nullopt;
    return changes.front().time;
}

// The part is turned over before the line that would make it too old, or
// too large for the reader.
void HistoryWriter::Append(std::int64_t now, const std::string& lines) {
    const std::string current = programDir_ + kHistoryFile;
    if (!partStartKnown_) {
        partStart_ = FirstTimeOfCurrentPart();
        partStartKnown_ = true;
    }
    const auto stamp =
        toolkit::platform::FileExists(current) ? toolkit::platform::StampOf(current) : std::nullopt;
    const bool tooLarge =
        stamp && stamp->size > 0 && stamp->size + lines.size() > kHistoryPartBytes;
    if (!stamp) partStart_.reset();  // removed meanwhile: the next line starts a part
    const bool tooOld = partStart_ && now - *partStart_ >= kHistoryPartSeconds;
    if (stamp && (tooLarge || tooOld)) {
        if (!toolkit::platform::RenameOver(current, programDir_ + kOlderHistoryFile)) {
            throw toolkit::FileError("Impossible de renommer « " + current +
                                     " » : " + toolkit::SystemErrorText(errno));
        }
        partStart_.reset();
    }
    toolkit::platform::AppendLines(current, lines);
    if (!partStart_) partStart_ = now;
}

HistoryKeeper::HistoryKeeper(std::string programDir, std::function<bool()> isLead)
    : programDir_(std::move(programDir)), isLead_(std::move(isLead)) {}

bool HistoryKeeper::Leads() {
    if (!isLead_()) {
        writer_.reset();
        return false;
    }
    // Fresh: it knows no state yet and reads where the part began.
    if (!writer_) writer_.emplace(programDir_);
    return true;
}

void HistoryKeeper::Start(std::int64_t now) {
    if (Leads()) writer_->MarkUnknown(now);
}

void HistoryKeeper::Observe(std::int64_t now,
                            const std::vector<std::pair<std::string, bool>>& states) {
    if (Leads()) writer_->Observe(now, states);
}

void HistoryKeeper::Stop(std::int64_t now) {
    if (writer_ && Leads()) writer_->MarkUnknown(now);
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
