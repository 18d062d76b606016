// devices_bench [RUNS]
//
// The record of the devices netsweep has seen, at sizes from 10 000 to the
// limit of 40 000 devices: the file written and read back, one run's
// sightings merged (most devices seen again, some moved, some new, some
// gone), and the intake dialog's rows with their marks over as many
// discovered machines. Prints, per size, the best time of RUNS (default 5)
// in ms and per device in ns: a time per device that stays flat as the
// size grows is a linear cost. No network, no file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "devices.h"
#include "korvane/core/intake.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kNow = 1796633400;  // 2026-12-07T09:30:00Z

std::string Address(std::size_t i) {
    return "10." + std::to_string(i / 65536 % 256) + "." + std::to_string(i / 256 % 256) + "." +
           std::to_string(i % 256);
}

std::string Mac(std::size_t i) {
    char text[18];
    std::snprintf(text, sizeof text, "02-00-%02X-%02X-%02X-%02X",
                  static_cast<unsigned>(i >> 24 & 255), static_cast<unsigned>(i >> 16 & 255),
                  static_cast<unsigned>(i >> 8 & 255), static_cast<unsigned>(i & 255));
    return text;
}

toolkit::DeviceRecord Record(std::size_t count) {
    toolkit::DeviceRecord record;
    record.lastSweep = kNow - 540;
    record.previousSweep = kNow - 1080;
    for (std::size_t i = 0; i < count; ++i) {
        toolkit::Device device;
        device.mac = Mac(i);
        device.address = Address(i);
        device.name = "poste" + std::to_string(i);
        device.firstSeen = kNow - 30 * 24 * 3600 + static_cast<std::int64_t>(i);
        device.lastSeen = kNow - 540;
        device.answersPing = i % 3 != 0;
        record.devices.push_back(std::move(device));
    }
    return record;
}

// Nine in ten seen again (one in twenty of them at a new address: moved),
// one in ten gone; as many new ones as gone, silent ones among them.
std::vector<toolkit::Sighting> Sightings(std::size_t count) {
    std::vector<toolkit::Sighting> sightings;
    for (std::size_t i = 0; i < count; ++i) {
        if (i % 10 == 9) {
            sightings.push_back({Address(count + i), Mac(count + i), "", i % 20 == 9, true});
            continue;
        }
        const std::size_t at = i % 20 == 4 ? count + i : i;
        sightings.push_back({Address(at), Mac(i), "", i % 3 != 0, true});
    }
    return sightings;
}

double BestMs(int runs, const std::function<void()>& work) {
    double best = 1e18;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        work();
        const std::chrono::duration<double, std::milli> spent = Clock::now() - start;
        best = std::min(best, spent.count());
    }
    return best;
}

void Report(const char* what, std::size_t count, double ms) {
    std::printf("  %9zu %9.1f %12.0f   %s\n", count, ms, ms * 1e6 / static_cast<double>(count),
                what);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    if (runs < 1 || runs > 99) {
        std::fprintf(stderr, "devices_bench : nombre de passes invalide\n");
        return 2;
    }
    std::printf("liste.appareils : meilleur temps de %d passes\n", runs);
    std::printf("  %9s %9s %12s\n", "appareils", "ms", "ns/appareil");
    for (std::size_t count : {std::size_t{10000}, std::size_t{20000}, toolkit::kMaxDevices}) {
        const toolkit::DeviceRecord record = Record(count);
        toolkit::TextList lines;
        Report("écrire les lignes", count,
               BestMs(runs, [&] { lines = toolkit::DeviceRecordLines(record); }));
        Report("relire les lignes", count, BestMs(runs, [&] {
                   if (toolkit::ParseDeviceRecord(lines).devices.size() != count) std::abort();
               }));
        const std::vector<toolkit::Sighting> sightings = Sightings(count);
        Report("fusionner un balayage", count, BestMs(runs, [&] {
                   toolkit::DeviceRecord merged = record;
                   toolkit::MergeSightings(merged, sightings, kNow, true);
               }));
        korvane::KrvVar krv;
        toolkit::TextList discover;
        for (std::size_t i = 0; i < count; ++i) {
            const std::string name = "poste" + std::to_string(i);
            krv.IpList.push_back(name + " " + Address(i));
            krv.MacList.push_back(name + " " + Mac(i));
            discover.push_back(Address(i) + "=" + name);
        }
        Report("lignes de la fenêtre d'ajout", count, BestMs(runs, [&] {
                   korvane::FillIntakeRows(discover, {"poste1"}, krv, record, kNow);
               }));
    }
    return 0;
}
