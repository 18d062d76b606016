// Who holds an entry's address on the local link. A home or office router
// gives the address of a computer gone to the next device that asks; until
// netsweep's next run updates liste.ip, the entry's address names that other
// device. The neighbour table tells which hardware address holds it now,
// which is compared with the entry's own in liste.mac.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "neighbours.h"

namespace korvane {

// Another device holds the entry's address.
struct OtherHolder {
    std::string address;                   // the entry's address, dotted
    std::string entryMac;                  // the entry's hardware address, as netsweep writes it
    std::string seenMac;                   // the one that holds the address now
    std::vector<std::string> entrySeenAt;  // where the entry's own is seen in the table
    bool operator==(const OtherHolder&) const = default;
};

// nullopt unless the table knows who holds `address` and it is not `entryMac`;
// an entry without a hardware address, or one that does not parse, is never
// said to be displaced (nothing to compare).
std::optional<OtherHolder> FindOtherHolder(std::string_view entryMac, std::string_view address,
                                           const toolkit::NeighbourSnapshot& table);

// The map's words for such an entry.
inline constexpr const char* kAddressTaken = "adresse occupée par un autre appareil";
// The tooltip's line: the map's words, then both hardware addresses.
std::string AddressTakenHint(const OtherHolder& holder);
// Told once when the poll first finds it: what was seen, where the entry is,
// and that a scan was started so that the lists catch up.
std::string AddressTakenNotice(std::string_view name, const OtherHolder& holder);
// Why a command on `name` ("OFF", a restart, an access test) is refused: it
// would reach the other device. `actionStart`: "Arrêt de ", ...
std::string AddressTakenRefusal(std::string_view actionStart, std::string_view name,
                                const OtherHolder& holder);

}  // namespace korvane
