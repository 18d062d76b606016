// What every feature of the app shares: the window's view and scheduler,
// the one clock, the timers, the console log and status bar, the lists and
// settings (KrvVar), and the local network as read at the start. KorvaneApp
// owns it and hands it to each feature it makes.
#pragma once

#include <cstdint>
#include <string>

#include "korvane/app/clock.h"
#include "korvane/app/console.h"
#include "korvane/app/timers.h"
#include "korvane/app/view.h"
#include "korvane/core/KrvVar.h"
#include "korvane/core/folderlead.h"
#include "korvane/core/followup.h"
#include "reseau.h"

namespace korvane {

struct AppContext {
    AppContext(MainView& window, Scheduler& windowScheduler, const Clock& theClock)
        : view(window),
          scheduler(windowScheduler),
          clock(theClock),
          timers(windowScheduler),
          console(window) {}

    // The clock's time in seconds since the epoch, as the journal counts.
    std::int64_t NowSeconds() const;
    // The managed entry at a map position; "" for none.
    std::string EntryName(int entry) const;

    MainView& view;
    // The window's scheduler as it is; the features' timers go through `timers`.
    Scheduler& scheduler;
    const Clock& clock;
    Timers timers;
    Console console;
    KrvVar krv;
    toolkit::host_params localHost;
};

// The run's incidents of a kind, one line each, as KrvVar keeps them.
toolkit::TextList& IncidentsOf(KrvVar& krv, FollowKind kind);

// A report saved in the program folder opens in the desktop's program for
// it; when none could, the status bar says where it is.
void OpenSavedReport(Console& console, const std::string& path);

// Whether this Korvane leads the program folder now (folderlead.h). A lock
// that nobody can take is told, once, until it can be again: a Korvane that
// believed another one led would leave the plan and the journal to nobody,
// in silence.
Lead LookAtLead(Console& console);

}  // namespace korvane
