// plan_bench [RUNS]
//
// What the map and the plan cost with large files, best of RUNS (default 5):
//  - parsing a "liste.planning" of 10 000, 20 000 and 40 000 lines;
//  - one redraw of a map of 2 000 planned entries: the plan asked once per
//    entry through the cache, the file unchanged;
//  - the first line the history writes after the start, beside a current
//    part of 60 Mio (only the part's start is read).
// No packet is sent; the files go to a temporary folder, removed at the end.
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "korvane/core/filecache.h"
#include "korvane/core/history.h"
#include "korvane/core/schedule.h"

namespace {

using Clock = std::chrono::steady_clock;

double BestMilliseconds(int runs, const std::function<void()>& work) {
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        work();
        const std::chrono::duration<double, std::milli> spent = Clock::now() - start;
        best = std::min(best, spent.count());
    }
    return best;
}

toolkit::TextList PlanLines(int count) {
    toolkit::TextList lines;
    for (int i = 0; i < count; ++i) lines.push_back("poste" + std::to_string(i) + ";7:30;19:00");
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    if (runs < 1) {
        std::fprintf(stderr, "Utilisation : plan_bench [PASSES]\n");
        return 2;
    }
    for (const int count : {10000, 20000, 40000}) {
        const toolkit::TextList lines = PlanLines(count);
        std::size_t planned = 0;
        const double ms =
            BestMilliseconds(runs, [&] { planned = korvane::ParseSchedules(lines).size(); });
        std::printf("liste.planning de %6d lignes : %8.2f ms (%zu entrées)\n", count, ms, planned);
    }

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("korvane-plan-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string folder = dir.string() + "/";
    toolkit::SaveLines(folder + korvane::kScheduleFile, PlanLines(2000));
    korvane::FileCache<korvane::Schedules> cache;
    const auto plan = [&]() -> const korvane::Schedules& {
        return cache.Get(folder + korvane::kScheduleFile,
                         [&] { return korvane::LoadSchedules(folder); });
    };
    plan();
    const double redraw = BestMilliseconds(runs, [&] {
        for (int entry = 0; entry < 2000; ++entry) {
            korvane::ScheduleOf(plan(), "poste" + std::to_string(entry));
        }
    });
    std::printf("carte de 2000 entrées planifiées, un rafraîchissement : %8.2f ms\n", redraw);

    // The part is written again before each run: its first append turns it over.
    const std::int64_t now = 1796601600;
    double firstLine = 1e300;
    for (int run = 0; run < runs; ++run) {
        {
            std::ofstream part(folder + korvane::kHistoryFile, std::ios::binary | std::ios::trunc);
            part << korvane::HistoryLine({now - 3600, "pc1", '1'}) << '\n';
            const std::string line = korvane::HistoryLine({now - 1800, "poste", '0'}) + "\n";
            for (std::size_t size = 0; size < (std::size_t{60} << 20); size += line.size()) {
                part << line;
            }
        }
        firstLine = std::min(firstLine, BestMilliseconds(1, [&] {
                                 korvane::HistoryWriter writer(folder);
                                 writer.Observe(now, {{"pc1", false}});
                             }));
    }
    std::printf("première ligne de l'historique (partie de 60 Mio) : %8.2f ms\n", firstLine);
    std::filesystem::remove_all(dir);
    return 0;
}
