// The follow-ups: five minutes after a command every member of the entry's
// group file is probed through a check slot; a member whose state
// contradicts the command becomes an incident line, kept for the run
// (KrvVar's incident lists), written to the console log, told by a
// notification, and shown by the "Rapports" menu.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "korvane/app/app_context.h"
#include "korvane/app/notifications.h"
#include "korvane/app/requests.h"
#include "korvane/core/followup.h"

namespace korvane {

// The verdict of one follow-up, for a caller that waits for it (an action
// asked from the web page): once, after every member of the entry was
// checked, in French ("Aucun incident : ...", the incidents, or why no
// verdict could be told). Never when Korvane ends first.
using FollowUpDone = std::function<void(const std::string& verdict)>;

// An incident of this run with its time (seconds since 1970, UTC).
struct RecordedIncident {
    std::int64_t time = 0;
    FollowKind kind = FollowKind::Shutdown;
    Incident incident;
};
// The most recent incidents kept with their times.
inline constexpr std::size_t kRecentIncidents = 200;

class FollowUps {
  public:
    FollowUps(AppContext& ctx, Requests& requests, Notifications& notifications)
        : ctx_(ctx), requests_(requests), notifications_(notifications) {}

    // A one-shot timer for the command just given to entry `name`, tied to
    // the entry's position at the time of the command; `done`, when given,
    // learns the verdict.
    void Arm(FollowKind kind, const std::string& name, FollowUpDone done = {});
    // The run's incidents of the kind replace its report file, which opens.
    void OpenIncidents(FollowKind kind);
    const toolkit::TextList& Incidents(FollowKind kind) const;
    // The run's latest incidents of every kind, oldest first, and how many
    // were ever recorded (a count that tells a reader something changed).
    const std::deque<RecordedIncident>& Recent() const { return recent_; }
    std::uint64_t IncidentCount() const { return incidentCount_; }

  private:
    // One follow-up's checks, until the last member's is in.
    struct Tally;
    void LaunchChecks(FollowKind kind, int position, const FollowUpDone& done);
    void ReportCheck(FollowKind kind, const std::string& host, int slot,
                     const std::shared_ptr<Tally>& tally);

    AppContext& ctx_;
    Requests& requests_;
    Notifications& notifications_;
    std::deque<RecordedIncident> recent_;
    std::uint64_t incidentCount_ = 0;
};

}  // namespace korvane
