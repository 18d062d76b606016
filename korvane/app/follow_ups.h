// The follow-ups: five minutes after a command every member of the entry's
// group file is probed through a check slot; a member whose state
// contradicts the command becomes an incident line, kept for the run
// (KrvVar's incident lists), written to the console log, told by a
// notification, and shown by the "Rapports" menu.
#pragma once

#include <string>

#include "korvane/app/app_context.h"
#include "korvane/app/notifications.h"
#include "korvane/app/requests.h"
#include "korvane/core/followup.h"

namespace korvane {

class FollowUps {
  public:
    FollowUps(AppContext& ctx, Requests& requests, Notifications& notifications)
        : ctx_(ctx), requests_(requests), notifications_(notifications) {}

    // A one-shot timer for the command just given to entry `name`, tied to
    // the entry's position at the time of the command.
    void Arm(FollowKind kind, const std::string& name);
    // The run's incidents of the kind replace its report file, which opens.
    void OpenIncidents(FollowKind kind);
    const toolkit::TextList& Incidents(FollowKind kind) const;

  private:
    void LaunchChecks(FollowKind kind, int position);
    void ReportCheck(FollowKind kind, const std::string& host, int slot);

    AppContext& ctx_;
    Requests& requests_;
    Notifications& notifications_;
};

}  // namespace korvane
