// Telling the user by desktop notification: a device the network never
// showed before, an incident, a planned action that failed; each kind may be
// turned off in the preferences. A Korvane without window keeps its
// incidents in the program folder, and the next window's start tells them.
#pragma once

#include <string>

#include "korvane/app/app_context.h"
#include "korvane/core/followup.h"
#include "korvane/core/notices.h"

namespace korvane {

class Notifications {
  public:
    explicit Notifications(AppContext& ctx) : ctx_(ctx) {}

    void SetWindowless(bool windowless) { windowless_ = windowless; }
    void Tell(const Notice& notice);
    void TellIncident(FollowKind kind, const Incident& incident, const std::string& line);
    // At a window's start: the incidents of the runs without window join the
    // run's reports and the console log.
    void TellUnseenIncidents();

  private:
    AppContext& ctx_;
    bool windowless_ = false;
    bool noNotifierTold_ = false;
};

}  // namespace korvane
