// The intake dialog ("Ajouter des machines"): its opening (the logon server
// for an empty pdc, the managed list as its memo), its rows following the
// discovery list netsweep rewrites (with what changed, from netsweep's
// record), and its OK, which saves the managed list and its files.
#pragma once

#include <optional>

#include "korvane/app/app_context.h"
#include "korvane/app/network_map.h"
#include "korvane/app/scans.h"
#include "korvane/core/intake.h"

namespace korvane {

class IntakeDialog {
  public:
    IntakeDialog(AppContext& ctx, Scans& scans, NetworkMap& map)
        : ctx_(ctx), scans_(scans), map_(map) {}

    std::optional<toolkit::TextList> Opened();
    std::optional<IntakeRows> Refresh(const toolkit::TextList& memo);
    bool Ok(const toolkit::TextList& memo);

  private:
    AppContext& ctx_;
    Scans& scans_;
    NetworkMap& map_;
};

}  // namespace korvane
