// The intake dialog outside its window: which discovered machines its seven
// rows offer, and what OK writes (localGM and the missing group files).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "devices.h"
#include "korvane/core/KrvVar.h"

namespace korvane {

inline constexpr int kIntakeRowCount = 7;
inline constexpr const char* kManagedFile = "localGM";
inline constexpr const char* kDiscoverFile = "liste.ip.discover";

struct IntakeRow {
    std::string name;
    std::string ip;
    std::string mac;
    std::string mark;  // what changed (devicemarks.h); empty without a record
    bool operator==(const IntakeRow&) const = default;
};
using IntakeRows = std::array<IntakeRow, kIntakeRowCount>;

// The machine name of a liste.ip.discover line: the text after its first "="
// (empty for a line without one).
std::string DiscoveredName(std::string_view line);

// The rows at one tick: the first seven discovered machines, in file order,
// whose name is no memo line (case ignored), with their address and hardware
// address; the rows after the last candidate are blank.
IntakeRows FillIntakeRows(const TextList& discover, const TextList& memo, const KrvVar& krv);

// The rows at one tick with netsweep's record of the devices it saw: the
// same candidates, every line whose name is no memo line, the newest
// first (the latest arrival or move, devicemarks.h) and those the record
// does not know last, each group in file order; each row with the mark of
// its device at `now` (seconds since 1970 UTC). A row's device is the one of
// its MAC (liste.mac), else the one seen last at its address (liste.ip, else
// the discovery line's). Linear in the lists, but for the sort.
IntakeRows FillIntakeRows(const TextList& discover, const TextList& memo, const KrvVar& krv,
                          const toolkit::DeviceRecord& record, std::int64_t now);

// liste.ip.discover of the program folder. Nothing when it is missing, or
// cannot be read right now (netsweep replacing it): the rows then keep what
// they show.
std::optional<TextList> ReadDiscoverFile();

// An empty pdc setting takes the logon server of the session (LOGONSERVER),
// or stays empty when the variable is not set.
void TakeLogonServer(Settings& settings);

// The memo's text for its lines, such that splitting it gives them back, an
// empty last line included.
std::string MemoText(const TextList& lines);

// Why the memo cannot be saved, naming the first bad line, in French; nothing
// when every non-empty line can name an entry and its group file.
std::optional<std::string> CheckIntakeLines(const TextList& memo);

// OK: checks every line first and writes nothing when one is bad; saves a
// non-empty memo to localGM (replaced atomically), reloads ManagedList from
// it, and creates the group file of every entry that
// has none, holding the entry's name. Returns the French account of what
// failed; nothing when all is done. Running it again after a failure only
// does what is still missing.
std::optional<std::string> SaveIntake(const TextList& memo, KrvVar& krv);

}  // namespace korvane
