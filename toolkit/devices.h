// What netsweep has seen on the network, device by device, and when:
// "liste.appareils" in the program folder, beside the discovery lists.
//
// One line per device, keyed by its MAC when the ARP table gave one, else by
// its address. Fields joined by ";":
//   mac;adresse;nom;premier vu;dernier vu;ancienne adresse;déplacé le;ping
// for example
//   02-4B-52-00-00-11;198.18.0.12;pc-salon;2026-12-01T08:00:05Z;2026-12-08T07:30:12Z;198.18.0.11;2026-12-08T07:30:12Z;oui
// The times are UTC; "ancienne adresse" and "déplacé le" are empty until the
// device first changes address; "ping" says whether it answered the echo
// request the last time netsweep looked for it ("oui"/"non"). The first
// lines give the times of the latest sweep and of the one before,
// "balayage=TIME" and "balayage précédent=TIME" (empty until there is one);
// a line starting with "#" names the columns. Lines end with CR LF; the file is replaced whole,
// with the discovery lists, never torn. A device not seen for 90 days is
// dropped; past kMaxDevices, the devices seen longest ago go first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "utils.h"

namespace toolkit {

inline constexpr const char* kDeviceRecordFile = "liste.appareils";
inline constexpr std::int64_t kForgetDeviceSeconds = 90LL * 24 * 3600;
// Lines of at most about 380 bytes (a name of 255): the file stays below the
// readers' 16 MiB.
inline constexpr std::size_t kMaxDevices = 40000;

struct Device {
    std::string mac;             // "02-4B-52-00-00-11", empty when unknown
    std::string address;         // dotted
    std::string name;            // short host name, empty when none is known
    std::int64_t firstSeen = 0;  // seconds since 1970-01-01 UTC
    std::int64_t lastSeen = 0;
    std::string previousAddress;          // before the latest move; empty
    std::optional<std::int64_t> movedAt;  // the latest move
    bool answersPing = false;
    bool operator==(const Device&) const = default;
};

struct DeviceRecord {
    std::optional<std::int64_t> lastSweep;
    std::optional<std::int64_t> previousSweep;
    std::vector<Device> devices;
    bool operator==(const DeviceRecord&) const = default;
};

// The MAC in the record's form (upper case, "-"), trimmed; empty when the
// text is not six two-digit hexadecimal bytes joined by "-" or ":".
std::string DeviceMac(std::string_view text);

TextList DeviceRecordLines(const DeviceRecord& record);
// Lines that do not parse, and a second line of a key already read, are
// skipped: a hand-edited or damaged line costs that line only.
DeviceRecord ParseDeviceRecord(const TextList& lines);
// An empty record when the file is missing. Throws FileError as LoadLines.
DeviceRecord LoadDeviceRecord(const std::string& path);

// What one run saw of an address.
struct Sighting {
    std::string address;
    std::string mac;        // from the ARP table; empty when it had none
    std::string name;       // empty when the run has none for the address
    bool answered = false;  // it answered the run's echo request
    bool probed = false;    // the run sent it an echo request
};

// Merges one run's sightings into the record, in time linear in the sizes of
// both. A sighting with a MAC belongs to the device of that MAC (or takes
// over the device recorded under its address alone); one without, to the
// device that holds its address. A device seen at another address has moved:
// its old address and the time are kept. A device that answered pings before
// and is now only in the ARP table, silent, counts as not seen: a neighbour
// entry outlives the computer that left. Its "ping" becomes "non", so that it
// counts again while it stays in the table (it now drops pings). A sweep
// (`swept`) becomes the record's latest sweep, the latest its previous; a
// run without one (noscan) only adds what the ARP table showed. Devices unseen for 90 days go. The
// run's time is `now`, or one second after the latest sweep when the clock
// has not passed it (two runs in one second, a clock set back by up to a
// day); times ahead of the run's are brought back before it. Returns the
// run's time.
std::int64_t MergeSightings(DeviceRecord& record, const std::vector<Sighting>& sightings,
                            std::int64_t now, bool swept);

}  // namespace toolkit
