// The history of the computers' on/off states as Korvane's polls see them,
// and the hours on per day that the energy report draws from it.
//
// The journal is a pair of files of the program folder, only ever appended
// to: "historique.etats" and the older part "historique.etats.ancien". When
// the current part's first line is 45 days old, or the part would grow past
// kHistoryPartBytes, it becomes the older part, replacing the previous one,
// which is dropped whole: about 90 days are kept, never more. A line is
// written in one append and flushed; a writer killed at any moment loses at
// most the line it was writing, and a line cut short is skipped by the
// reader. One Korvane per program folder writes it (HistoryKeeper).
//
// Lines: "2026-12-08T07:30:12Z;pc1;1" (UTC): the entry is on (1) or off (0)
// from then on. "*" for the name and "?" for the state mark a moment from
// which nothing is known of any entry (Korvane starting or closing): the time
// Korvane did not watch counts as off.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "utils.h"

namespace korvane {

inline constexpr const char* kHistoryFile = "historique.etats";
inline constexpr const char* kOlderHistoryFile = "historique.etats.ancien";
inline constexpr std::int64_t kHistoryPartSeconds = 45LL * 24 * 3600;
// Far above what 45 days of a small network write (a line is about 30
// bytes), and half of what the reader takes of a part.
inline constexpr std::uint64_t kHistoryPartBytes = std::uint64_t{32} << 20;
// The most of a part the reader takes: its newest bytes.
inline constexpr std::size_t kHistoryReadBytes = std::size_t{64} << 20;

struct StateChange {
    std::int64_t time = 0;  // seconds since 1970-01-01 UTC
    std::string name;       // "*" for every entry
    char state = '?';       // '1' on, '0' off, '?' unknown
    bool operator==(const StateChange&) const = default;
};

std::string HistoryLine(const StateChange& change);
std::optional<StateChange> ParseHistoryLine(std::string_view line);

// Appends the changes the polls show. Throws FileError from its writes.
class HistoryWriter {
  public:
    explicit HistoryWriter(std::string programDir);
    // Korvane starts or closes watching: the unknown mark; the next poll
    // writes every entry's state afresh.
    void MarkUnknown(std::int64_t now);
    // One poll's states: only an entry whose state differs from the last one
    // written gets a line.
    void Observe(std::int64_t now, const std::vector<std::pair<std::string, bool>>& states);

  private:
    void Append(std::int64_t now, const std::string& lines);
    std::optional<std::int64_t> FirstTimeOfCurrentPart() const;

    std::string programDir_;
    std::map<std::string, char> last_;
    std::optional<std::int64_t> partStart_;
    bool partStartKnown_ = false;
};

// The history as the Korvanes sharing a program folder keep it: only the
// folder's lead writes (`isLead` tells, taking the lead when it is free; see
// folderlead.h). A Korvane that leads from its start marks the unknown gap
// before it; one that takes the lead over later starts with every entry's
// state and no mark (its predecessor marked its own close); one that never
// led writes nothing, neither at its start nor at its close. Throws
// FileError from the writes.
class HistoryKeeper {
  public:
    HistoryKeeper(std::string programDir, std::function<bool()> isLead);
    void Start(std::int64_t now);
    void Observe(std::int64_t now, const std::vector<std::pair<std::string, bool>>& states);
    void Stop(std::int64_t now);

  private:
    bool Leads();

    std::string programDir_;
    std::function<bool()> isLead_;
    std::optional<HistoryWriter> writer_;  // while this Korvane leads
};

// Both parts, older first; lines that do not parse are skipped. Of a part
// larger than kHistoryReadBytes (written before parts had a size limit) the
// newest bytes are read. Missing files are an empty history. Throws
// FileError when a part cannot be read.
std::vector<StateChange> LoadHistory(const std::string& programDir);

// Hours on of `name` in each period [bounds[i], bounds[i+1]), from the
// history up to `now` (an entry on at the last line is on until then).
std::vector<double> HoursOn(const std::vector<StateChange>& history, std::string_view name,
                            const std::vector<std::int64_t>& bounds, std::int64_t now);
// The starts of `days` consecutive local days from the given date, and the
// end of the last one (days + 1 bounds), by the local clock's rules.
std::vector<std::int64_t> LocalDayBounds(int year, int month, int day, int days);

// The entries the history names, in order of first appearance.
toolkit::TextList HistoryNames(const std::vector<StateChange>& history);

}  // namespace korvane
