// What Korvane tells of the changes on the network and of the incidents of a
// run without its window: the marks of the intake rows and their order, and
// the store of the incidents waiting to be seen.
#include <gtest/gtest.h>

#include <filesystem>

#include "korvane/core/devicemarks.h"
#include "korvane/core/headless_incidents.h"
#include "korvane/core/intake.h"
#include "test_folder.h"

namespace {

using toolkit::Device;
using toolkit::DeviceRecord;
using toolkit::TextList;

constexpr std::int64_t kDay = 24 * 3600;
// 2026-12-07T09:00:00Z, the latest sweep; the one before, 9 minutes earlier.
constexpr std::int64_t kLast = 1796601600 + 9 * 3600;
constexpr std::int64_t kPrevious = kLast - 540;
constexpr std::int64_t kLongAgo = kLast - 60 * kDay;

Device Dev(std::string mac, std::string address, std::int64_t first, std::int64_t last) {
    Device device;
    device.mac = std::move(mac);
    device.address = std::move(address);
    device.firstSeen = first;
    device.lastSeen = last;
    return device;
}

Device Moved(Device device, std::string from, std::int64_t when) {
    device.previousAddress = std::move(from);
    device.movedAt = when;
    return device;
}

TEST(DeviceMarks, WhatChangedSinceThePreviousSweepInWords) {
    const std::pair<std::int64_t, const char*> spans[] = {
        {-5, "vu il y a moins d'une minute"},
        {59, "vu il y a moins d'une minute"},
        {60, "vu il y a 1 min"},
        {3599, "vu il y a 59 min"},
        {3600, "vu il y a 1 h"},
        {kDay - 1, "vu il y a 23 h"},
        {kDay, "vu il y a 1 j"},
        {3 * kDay + 7200, "vu il y a 3 j"},
    };
    for (const auto& [seconds, text] : spans) EXPECT_EQ(korvane::SeenAgoText(seconds), text);

    const DeviceRecord swept{kLast, kPrevious, {}};
    const DeviceRecord firstSweep{kLast, std::nullopt, {}};
    const DeviceRecord neverSwept{};
    const std::int64_t now = kLast + 600;
    struct Case {
        const char* what;
        const DeviceRecord& record;
        Device device;
        std::string mark;
    };
    const Case cases[] = {
        {"first seen by the latest sweep", swept, Dev("", "10.0.0.1", kLast, kLast), "nouveau"},
        {"seen before and again", swept, Dev("", "10.0.0.1", kPrevious, kLast), ""},
        {"moved since the previous sweep", swept,
         Moved(Dev("", "10.0.0.1", kLongAgo, kLast), "10.0.0.9", kLast),
         "déplacé (ancienne adresse 10.0.0.9)"},
        {"moved long ago", swept,
         Moved(Dev("", "10.0.0.1", kLongAgo, kLast), "10.0.0.9", kPrevious), ""},
        {"not seen by the latest sweep", swept,
         Moved(Dev("", "10.0.0.1", kLast - 5 * kDay, kLast - 3 * kDay), "10.0.0.9",
               kLast - 4 * kDay),
         "vu il y a 3 j"},
        {"missed the latest sweep only", swept, Dev("", "10.0.0.1", kLongAgo, kPrevious),
         "vu il y a 19 min"},
        {"the first sweep: nothing to be new against", firstSweep,
         Dev("", "10.0.0.1", kLast, kLast), ""},
        {"no sweep yet", neverSwept, Dev("", "10.0.0.1", kLongAgo, kLongAgo), ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(korvane::DeviceMark(c.record, c.device, now), c.mark) << c.what;
    }
}

// The machines newest first, those the record does not know last; every
// line a candidate, as without the record (a machine that moved is listed
// at both addresses); its device by MAC, else by its address in liste.ip,
// else by the discovery line's.
TEST(IntakeRows, WithTheRecordNewestFirstEveryLineWithItsMark) {
    korvane::KrvVar krv;
    krv.IpList = {"pc-salon 198.18.0.21", "pc-bureau 198.18.0.12", "imprimante 198.18.0.13"};
    krv.MacList = {"PC-SALON 02:4b:52:00:00:11", "pc-bureau 02-00-00-00-00-99"};
    const TextList discover = {"198.18.0.14=serveur-nas", "198.18.0.13=imprimante",
                               "198.18.0.30=inconnu",     "198.18.0.11=pc-salon",
                               "198.18.0.12=pc-bureau",   "198.18.0.40=compta",
                               "198.18.0.21=PC-SALON"};
    const DeviceRecord record{
        kLast,
        kPrevious,
        {Dev("", "198.18.0.13", kLongAgo, kLast - 3 * kDay),
         Moved(Dev("02-4B-52-00-00-11", "198.18.0.21", kLongAgo, kLast), "198.18.0.11", kLast),
         Dev("", "198.18.0.14", kPrevious - 1000, kLast),
         Dev("02-4B-52-00-00-12", "198.18.0.12", kLast, kLast)}};
    const korvane::IntakeRows rows =
        korvane::FillIntakeRows(discover, {"Compta"}, krv, record, kLast + 60);
    const korvane::IntakeRows expected = {{
        {"pc-salon", "198.18.0.21", "02:4b:52:00:00:11", "déplacé (ancienne adresse 198.18.0.11)"},
        {"pc-bureau", "198.18.0.12", "02-00-00-00-00-99", "nouveau"},
        {"PC-SALON", "198.18.0.21", "02:4b:52:00:00:11", "déplacé (ancienne adresse 198.18.0.11)"},
        {"serveur-nas", "", "", ""},
        {"imprimante", "198.18.0.13", "", "vu il y a 3 j"},
        {"inconnu", "", "", ""},
        {},
    }};
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], expected[i]) << i;
}

TEST(HeadlessIncidents, KeptUntilTakenLinesCutShortSkipped) {
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    const std::string one =
        R"("08/12/2026";"03:10:00";"pc1";"ne s'est pas arrêté";"raison inconnue";)";
    const std::string two =
        R"("08/12/2026";"03:15:00";"pc10";"ne s'est pas mis en marche";"raison inconnue";)";
    EXPECT_EQ(korvane::TakeUnseenIncidents(dir), TextList{});
    korvane::KeepUnseenIncident(dir, one);
    // A writer killed in the middle of its line, then the next one.
    std::filesystem::resize_file(folder / korvane::kUnseenIncidentsFile, one.size() - 7);
    korvane::KeepUnseenIncident(dir, one);
    korvane::KeepUnseenIncident(dir, "\"a\";\"b\nc\";");
    EXPECT_EQ(korvane::UnseenIncidents(dir), (TextList{one, "\"a\";\"b c\";"}));

    EXPECT_EQ(korvane::TakeUnseenIncidents(dir), (TextList{one, "\"a\";\"b c\";"}));
    EXPECT_EQ(korvane::UnseenIncidents(dir), TextList{});
    korvane::KeepUnseenIncident(dir, two);
    EXPECT_EQ(korvane::TakeUnseenIncidents(dir), TextList{two});
    // The last batch taken stays to be opened.
    EXPECT_EQ(testing_support::ReadBytes(folder / korvane::kSeenIncidentsFile), two + "\r\n");

    EXPECT_EQ(korvane::IncidentsSinceStartText(0), "");
    EXPECT_EQ(korvane::IncidentsSinceStartText(1), "1 incident depuis le dernier démarrage");
    EXPECT_EQ(korvane::IncidentsSinceStartText(3), "3 incidents depuis le dernier démarrage");
}

}  // namespace
