// netsweep, the scan of the network: started at the start, on every 9th
// tick of the minute timer, and at once when an entry's address changed
// hands. Its record of the devices seen tells which are new since the last
// look, by notification, and gives the intake dialog its rows' news.
#pragma once

#include <cstdint>
#include <optional>

#include "korvane/app/app_context.h"
#include "korvane/app/notifications.h"
#include "korvane/core/filecache.h"
#include "reseau.h"

namespace korvane {

class Scans {
  public:
    Scans(AppContext& ctx, Notifications& notifications)
        : ctx_(ctx), notifications_(notifications) {}

    // netsweep, hidden and not waited for, from the program folder.
    void Start();
    // netsweep at once, unless a run is going on.
    void StartUnlessRunning();
    // The minute timer (Timer1), and its tick.
    void StartTimer();
    void StopTimer();
    void Tick();
    // Green while a netsweep run holds its lock.
    void ShowLight();
    bool Running() const;

    // netsweep's record of the devices seen, read again only when it
    // changed; null when there is none or it cannot be read now.
    const toolkit::DeviceRecord* DeviceRecordNow();
    void LookForNewDevices();

  private:
    AppContext& ctx_;
    Notifications& notifications_;
    TimerId timer_ = 0;
    FileCache<toolkit::DeviceRecord> recordFile_;
    std::optional<std::int64_t> sweepLookedAt_;  // the record's latest sweep already told
};

}  // namespace korvane
