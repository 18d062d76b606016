// The energy report: each entry's hours on per day over a period, from the
// history of its states, and the energy that makes at its power draw. The
// draws the user sets are kept in a file of the program folder, "name=W".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "korvane/core/history.h"
#include "utils.h"

namespace korvane {

inline constexpr const char* kPowerDrawFile = "puissances.ini";
inline constexpr const char* kEnergyReportFile = "consommation.csv";
inline constexpr int kDefaultPowerDraw = 60;  // watts, an office computer and its screen
inline constexpr int kMaxPowerDraw = 5000;

// The draw of `name` in the list (case ignored), else the default.
int PowerDrawOf(const toolkit::TextList& draws, std::string_view name);
// The list with `name`'s draw set (a draw equal to the default is not kept).
toolkit::TextList WithPowerDraw(toolkit::TextList draws, std::string_view name, int watts);
// Whole watts, 1 to 5000.
bool ParsePowerDraw(std::string_view text, int& watts);

struct EnergyRow {
    std::string name;
    int watts = kDefaultPowerDraw;
    std::vector<double> hours;  // one per day
    double TotalHours() const;
    double Kwh() const;
};

// One row per entry of `names`, over the days that `bounds` delimit.
std::vector<EnergyRow> EnergyRows(const std::vector<StateChange>& history,
                                  const toolkit::TextList& names, const toolkit::TextList& draws,
                                  const std::vector<std::int64_t>& bounds, std::int64_t now);

// "1,5": the decimal comma of a French spreadsheet, `decimals` digits.
std::string FrenchNumber(double value, int decimals);
// The CSV of the report: a header "Ordinateur";"Puissance (W)";one column per
// day (its label);"Total (h)";"Énergie (kWh)", then one line per row.
toolkit::TextList EnergyCsvLines(const std::vector<EnergyRow>& rows,
                                 const toolkit::TextList& dayLabels);

// Throws FileError when the file exists and cannot be read.
toolkit::TextList LoadPowerDraws(const std::string& programDir);
void SavePowerDraws(const std::string& programDir, const toolkit::TextList& draws);

}  // namespace korvane
