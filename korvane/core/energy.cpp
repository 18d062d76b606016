#include "korvane/core/energy.h"

#include <cmath>
#include <cstdio>
#include <numeric>

#include "korvane/core/KrvVar.h"
#include "platform/platform.h"

namespace korvane {

int PowerDrawOf(const toolkit::TextList& draws, std::string_view name) {
    int watts = 0;
    if (!toolkit::IndexOfKey(draws, name)) return kDefaultPowerDraw;
    if (!ParsePowerDraw(toolkit::ValueOfKey(draws, name), watts)) return kDefaultPowerDraw;
    return watts;
}

toolkit::TextList WithPowerDraw(toolkit::TextList draws, std::string_view name, int watts) {
    std::erase_if(draws, [&](const std::string& line) {
        return toolkit::EqualsIgnoreCase(toolkit::SplitKeyValue(line).first, name);
    });
    if (watts != kDefaultPowerDraw)
        draws.push_back(std::string(name) + "=" + std::to_string(watts));
    return draws;
}

bool ParsePowerDraw(std::string_view text, int& watts) {
    int value = 0;
    if (!ParseWholeNumber(toolkit::Trim(text), value) || value < 1 || value > kMaxPowerDraw) {
        return false;
    }
    watts = value;
    return true;
}

double EnergyRow::TotalHours() const {
    return std::accumulate(hours.begin(), hours.end(), 0.0);
}

double EnergyRow::Kwh() const {
    return TotalHours() * watts / 1000.0;
}

std::vector<EnergyRow> EnergyRows(const std::vector<StateChange>& history,
                                  const toolkit::TextList& names, const toolkit::TextList& draws,
                                  const std::vector<std::int64_t>& bounds, std::int64_t now) {
    std::vector<EnergyRow> rows;
    for (const std::string& name : names) {
        rows.push_back({name, PowerDrawOf(draws, name), HoursOn(history, name, bounds, now)});
    }
    return rows;
}

std::string FrenchNumber(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string result = text;
    for (char& c : result) {
        if (c == '.') c = ',';
    }
    return result;
}

toolkit::TextList EnergyCsvLines(const std::vector<EnergyRow>& rows,
                                 const toolkit::TextList& dayLabels) {
    const auto quoted = [](const std::string& text) { return "\"" + text + "\""; };
    std::string header = quoted("Ordinateur") + ";" + quoted("Puissance (W)");
    for (const std::string& label : dayLabels) header += ";" + quoted(label);
    header += ";" + quoted("Total (h)") + ";" + quoted("Énergie (kWh)");
    toolkit::TextList lines{header};
    for (const EnergyRow& row : rows) {
        std::string line = quoted(row.name) + ";" + std::to_string(row.watts);
        for (const double hours : row.hours) line += ";" + FrenchNumber(hours, 2);
        line += ";" + FrenchNumber(row.TotalHours(), 2) + ";" + FrenchNumber(row.Kwh(), 3);
        lines.push_back(line);
    }
    return lines;
}

toolkit::TextList LoadPowerDraws(const std::string& programDir) {
    const std::string path = programDir + kPowerDrawFile;
    if (!toolkit::platform::FileExists(path)) return {};
    return toolkit::LoadLines(path);
}

void SavePowerDraws(const std::string& programDir, const toolkit::TextList& draws) {
    toolkit::SaveLines(programDir + kPowerDrawFile, draws);
}

}  // namespace korvane
