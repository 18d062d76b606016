// The energy report: each entry's hours on and estimated energy per day,
// from the journal of states and the power draws the user typed
// (consommation), and its export as a spreadsheet file.
#pragma once

#include <string>

#include "korvane/app/app_context.h"

namespace korvane {

struct EnergyReport;

class EnergyReports {
  public:
    explicit EnergyReports(AppContext& ctx) : ctx_(ctx) {}

    EnergyReport Report(const toolkit::TextList& names, int days);
    // False when the typed draw is refused (told).
    bool SetPowerDraw(const std::string& name, const std::string& typed);
    bool Export(const EnergyReport& report);

  private:
    AppContext& ctx_;
};

}  // namespace korvane
