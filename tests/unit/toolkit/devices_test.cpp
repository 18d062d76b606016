// netsweep's record of the devices it has seen, without any network: the
// file read back and its damaged lines skipped, and the update rule of one
// run (new, seen again, moved, gone, dropped after 90 days) on a table.
#include "devices.h"

#include <gtest/gtest.h>

#include "test_folder.h"
#include "utctime.h"

namespace {

using toolkit::Device;
using toolkit::DeviceRecord;
using toolkit::Sighting;
using toolkit::TextList;

constexpr std::int64_t kDay = 24 * 3600;
// 2026-12-07T00:00:00Z
constexpr std::int64_t kMonday = 1796601600;
constexpr std::int64_t kRun = kMonday + 9 * 3600;  // the run of the cases
constexpr std::int64_t kBefore = kRun - 540;       // the sweep before it

const std::string kMac1 = "02-4B-52-00-00-11", kMac2 = "02-4B-52-00-00-12";

Device Dev(std::string mac, std::string address, std::string name, std::int64_t first,
           std::int64_t last, bool ping = true) {
    Device device;
    device.mac = std::move(mac);
    device.address = std::move(address);
    device.name = std::move(name);
    device.firstSeen = first;
    device.lastSeen = last;
    device.answersPing = ping;
    return device;
}

Device Moved(Device device, std::string from, std::int64_t when) {
    device.previousAddress = std::move(from);
    device.movedAt = when;
    return device;
}

TEST(DeviceRecordFile, LinesReadBackAndDamagedOnesAreSkipped) {
    DeviceRecord record;
    record.lastSweep = kRun;
    record.previousSweep = kBefore;
    record.devices = {
        Moved(Dev(kMac1, "198.18.0.12", "pc-salon", kMonday, kRun), "198.18.0.11", kRun),
        Dev("", "198.18.0.2", "", kMonday, kRun, false)};
    const TextList lines = toolkit::DeviceRecordLines(record);
    EXPECT_EQ(lines, (TextList{
                         "balayage=2026-12-07T09:00:00Z",
                         "balayage précédent=2026-12-07T08:51:00Z",
                         "# mac;adresse;nom;premier vu;dernier vu;ancienne adresse;déplacé le;ping",
                         "02-4B-52-00-00-11;198.18.0.12;pc-salon;2026-12-07T00:00:00Z;"
                         "2026-12-07T09:00:00Z;198.18.0.11;2026-12-07T09:00:00Z;oui",
                         ";198.18.0.2;;2026-12-07T00:00:00Z;2026-12-07T09:00:00Z;;;non",
                     }));
    EXPECT_EQ(toolkit::ParseDeviceRecord(lines), record);

    // A MAC in another written form is taken; each damaged line costs itself.
    const std::string good =
        ";198.18.0.13;imprimante;2026-12-07T00:00:00Z;2026-12-07T09:00:00Z;;;non";
    TextList damaged = {"balayage=hier", "balayage précédent=9999-12-31T23:59:60Z",
                        "02:4b:52:00:00:13" + good};
    for (const char* bad : {
             "02-4B-52-00-00;198.18.0.14;a;2026-12-07T00:00:00Z;2026-12-07T09:00:00Z;;;oui",
             ";198.18.0;a;2026-12-07T00:00:00Z;2026-12-07T09:00:00Z;;;oui",
             ";198.18.0.14;pc salon;2026-12-07T00:00:00Z;2026-12-07T09:00:00Z;;;oui",
             ";198.18.0.14;a;2026-12-32T00:00:00Z;2026-12-07T09:00:00Z;;;oui",
             ";198.18.0.14;a;2026-12-07T00:00:00Z;2026-12-07T23:59:60Z;;;oui",  // no second 60
             ";198.18.0.14;a;2026-12-07T00:00:00Z;2026-12-07T09:00:00Z;x;;oui",
             ";198.18.0.14;a;2026-12-07T00:00:00Z;2026-12-07T09:00:00Z;;demain;oui",
             ";198.18.0.14;a;2026-12-07T00:00:00Z;2026-12-07T09:00:00Z;;;peut-être",
             ";198.18.0.14;a;2026-12-07T00:00:00Z;2026-12-07T09:00:00Z;;;oui;",
             ";198.18.0.14;a;2026-12-07T00:00:00Z;2026-12-07T09:0",  // cut short
             "02-4B-52-00-00-13;198.18.0.15;double;2026-12-07T00:00:00Z;2026-12-07T09:00:00Z;;;oui",
             "",
         }) {
        damaged.push_back(bad);
    }
    const DeviceRecord read = toolkit::ParseDeviceRecord(damaged);
    EXPECT_EQ(read.lastSweep, std::nullopt);
    EXPECT_EQ(read.previousSweep, std::nullopt);
    ASSERT_EQ(read.devices.size(), 1u);
    EXPECT_EQ(read.devices[0].mac, "02-4B-52-00-00-13");
    EXPECT_EQ(read.devices[0].name, "imprimante");

    testing_support::TempFolder folder;
    EXPECT_EQ(toolkit::LoadDeviceRecord(folder / "absent"), DeviceRecord{});
    testing_support::WriteBytes(folder / "liste.appareils",
                                "balayage=2026-12-07T09:00:00Z\r\n" + lines[3] + "\r\n");
    const DeviceRecord loaded = toolkit::LoadDeviceRecord(folder / "liste.appareils");
    EXPECT_EQ(loaded.lastSweep, kRun);
    EXPECT_EQ(loaded.devices, std::vector<Device>{record.devices[0]});
    // Beyond the readers' limit: refused, never read in part.
    testing_support::WriteBytes(folder / "grand", std::string(toolkit::kMaxListBytes + 1, '\n'));
    EXPECT_THROW(toolkit::LoadDeviceRecord(folder / "grand"), toolkit::FileError);
}

// One run at kRun merged into a record swept last at kBefore: each case's
// devices before and after.
TEST(DeviceRecordMerge, OneRunsSightingsByTheRule) {
    const Device salon = Dev(kMac1, "198.18.0.11", "pc-salon", kMonday, kBefore);
    const Device bureau = Dev(kMac2, "198.18.0.12", "pc-bureau", kMonday, kBefore);
    const Device silentOne = Dev(kMac2, "198.18.0.12", "pc-bureau", kMonday, kBefore, false);
    const Device self = Dev("", "198.18.0.2", "admin", kMonday, kBefore);
    struct Case {
        const char* what;
        std::vector<Device> before;
        std::vector<Sighting> seen;
        std::vector<Device> after;
    };
    const Case cases[] = {
        {"a new device, named or not, pinging or only in the ARP table",
         {},
         {{"198.18.0.11", "02:4b:52:00:00:11", "pc-salon", true, true},
          {"198.18.0.12", kMac2, "", false, true}},
         {Dev(kMac1, "198.18.0.11", "pc-salon", kRun, kRun),
          Dev(kMac2, "198.18.0.12", "", kRun, kRun, false)}},
        {"seen again: a run without a name keeps the old one, a new name replaces it",
         {salon, bureau},
         {{"198.18.0.11", kMac1, "", true, true}, {"198.18.0.12", kMac2, "bureau2", true, true}},
         {Dev(kMac1, "198.18.0.11", "pc-salon", kMonday, kRun),
          Dev(kMac2, "198.18.0.12", "bureau2", kMonday, kRun)}},
        {"not seen: unchanged", {salon}, {}, {salon}},
        {"moved",
         {salon},
         {{"198.18.0.21", kMac1, "pc-salon", true, true}},
         {Moved(Dev(kMac1, "198.18.0.21", "pc-salon", kMonday, kRun), "198.18.0.11", kRun)}},
        {"two devices that swapped their addresses",
         {salon, bureau},
         {{"198.18.0.11", kMac2, "pc-salon", true, true},
          {"198.18.0.12", kMac1, "pc-bureau", true, true}},
         {Moved(Dev(kMac1, "198.18.0.12", "pc-bureau", kMonday, kRun), "198.18.0.11", kRun),
          Moved(Dev(kMac2, "198.18.0.11", "pc-salon", kMonday, kRun), "198.18.0.12", kRun)}},
        {"answered pings before, now silent in the ARP table: gone, and its ping is no more",
         {salon},
         {{"198.18.0.11", kMac1, "pc-salon", false, true}},
         {Dev(kMac1, "198.18.0.11", "pc-salon", kMonday, kBefore, false)}},
        {"one that never answered pings counts in the ARP table",
         {silentOne},
         {{"198.18.0.12", kMac2, "", false, true}},
         {Dev(kMac2, "198.18.0.12", "pc-bureau", kMonday, kRun, false)}},
        {"a run that did not probe the address: the ARP table counts, ping kept",
         {salon},
         {{"198.18.0.11", kMac1, "", false, false}},
         {Dev(kMac1, "198.18.0.11", "pc-salon", kMonday, kRun)}},
        {"an answer without a MAC belongs to the device holding the address",
         {salon, self},
         {{"198.18.0.11", "", "", true, true}, {"198.18.0.2", "", "", true, true}},
         {Dev(kMac1, "198.18.0.11", "pc-salon", kMonday, kRun),
          Dev("", "198.18.0.2", "admin", kMonday, kRun)}},
        {"a device known by its address alone takes the MAC it now shows",
         {self},
         {{"198.18.0.2", kMac1, "", true, true}},
         {Dev(kMac1, "198.18.0.2", "admin", kMonday, kRun)}},
        {"a MAC at two addresses stays at the one it had",
         {salon},
         {{"198.18.0.30", kMac1, "alias", false, true},
          {"198.18.0.11", kMac1, "pc-salon", true, true}},
         {Dev(kMac1, "198.18.0.11", "pc-salon", kMonday, kRun)}},
        {"unseen for more than 90 days: dropped; for 90 days exactly: kept",
         {Dev(kMac1, "198.18.0.11", "a", kMonday - 200 * kDay, kRun - 90 * kDay - 1),
          Dev(kMac2, "198.18.0.12", "b", kMonday - 200 * kDay, kRun - 90 * kDay)},
         {},
         {Dev(kMac2, "198.18.0.12", "b", kMonday - 200 * kDay, kRun - 90 * kDay)}},
    };
    for (const Case& c : cases) {
        DeviceRecord record{kBefore, kBefore - 540, c.before};
        EXPECT_EQ(toolkit::MergeSightings(record, c.seen, kRun, true), kRun) << c.what;
        EXPECT_EQ(record.devices, c.after) << c.what;
        EXPECT_EQ(record.lastSweep, kRun) << c.what;
        EXPECT_EQ(record.previousSweep, kBefore) << c.what;
    }
}

// The sweep times move only with a sweep; a run is always after the latest
// sweep, also two runs in one second or a clock set back; a clock set back
// by more than a day brings the record's times back to it.
TEST(DeviceRecordMerge, RunTimesFollowTheSweepsAndTheClock) {
    const std::int64_t first = kMonday - 10 * kDay;
    DeviceRecord record{kBefore, std::nullopt, {Dev(kMac1, "198.18.0.11", "a", first, kBefore)}};
    const Sighting again{"198.18.0.11", kMac1, "", true, false};
    EXPECT_EQ(toolkit::MergeSightings(record, {again}, kRun, false), kRun);
    EXPECT_EQ(record.lastSweep, kBefore);
    EXPECT_EQ(record.previousSweep, std::nullopt);
    EXPECT_EQ(record.devices[0].lastSeen, kRun);

    EXPECT_EQ(toolkit::MergeSightings(record, {}, kRun, true), kRun);
    EXPECT_EQ(toolkit::MergeSightings(record, {}, kRun, true), kRun + 1);
    EXPECT_EQ(toolkit::MergeSightings(record, {}, kRun - 3600, true), kRun + 2);
    EXPECT_EQ(record.lastSweep, kRun + 2);
    EXPECT_EQ(record.previousSweep, kRun + 1);

    const std::int64_t backThen = kRun - 2 * kDay;
    EXPECT_EQ(toolkit::MergeSightings(record, {}, backThen, true), backThen);
    EXPECT_EQ(record.previousSweep, backThen - 1);
    EXPECT_EQ(record.devices[0].firstSeen, first);
    EXPECT_EQ(record.devices[0].lastSeen, backThen - 1);
}

// Past the size limit the devices seen longest ago go first; ties keep the
// first in the file.
TEST(DeviceRecordMerge, BeyondTheLimitTheLeastRecentlySeenGo) {
    DeviceRecord record;
    for (std::size_t i = 0; i <= toolkit::kMaxDevices; ++i) {
        const auto n = static_cast<std::int64_t>(i);
        const std::int64_t last = i < 3 ? kRun - 10 * kDay : kRun - n;
        record.devices.push_back(Dev("",
                                     "10." + std::to_string(i / 65536) + "." +
                                         std::to_string(i / 256 % 256) + "." +
                                         std::to_string(i % 256),
                                     "", kMonday - 20 * kDay, last));
    }
    toolkit::MergeSightings(record, {{"10.200.0.1", "", "", true, true}}, kRun, true);
    ASSERT_EQ(record.devices.size(), toolkit::kMaxDevices);
    EXPECT_EQ(record.devices[0].address, "10.0.0.0");
    EXPECT_EQ(record.devices[1].address, "10.0.0.3");
    EXPECT_EQ(record.devices.back().address, "10.200.0.1");
}

}  // namespace
