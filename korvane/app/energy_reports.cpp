#include "korvane/app/energy_reports.h"

#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/energy.h"
#include "korvane/core/export.h"
#include "korvane/core/history.h"
#include "tools.h"

namespace korvane {

// The period ends with today, which counts up to now.
EnergyReport EnergyReports::Report(const TextList& names, int days) {
    const std::string dir = toolkit::ProgramDir();
    std::vector<StateChange> history;
    TextList draws;
    try {
        history = LoadHistory(dir);
        draws = LoadPowerDraws(dir);
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(text::kHistoryUnreadable + std::string(error.what()));
    }
    const int today = LocalMinuteOf(ctx_.clock.Now()).day;
    const CivilDate first = CivilFromDays(today + 1 - days);
    const std::vector<std::int64_t> bounds =
        LocalDayBounds(first.year, first.month, first.day, days);
    EnergyReport report;
    for (int day = 0; day < days; ++day) {
        report.dayLabels.push_back(FormatDayMonthYear(CivilFromDays(today + 1 - days + day)));
    }
    report.rows = EnergyRows(history, names, draws, bounds, ctx_.NowSeconds());
    return report;
}

// A draw that is not 1 to 5000 W is refused.
bool EnergyReports::SetPowerDraw(const std::string& name, const std::string& typed) {
    int watts = 0;
    if (!ParsePowerDraw(typed, watts)) {
        ctx_.view.Warn("Puissance refusée : « " + typed +
                       " ». Donnez un nombre entier de watts, de 1 à " +
                       std::to_string(kMaxPowerDraw) + ".");
        return false;
    }
    try {
        const std::string dir = toolkit::ProgramDir();
        SavePowerDraws(dir, WithPowerDraw(LoadPowerDraws(dir), name, watts));
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(error.what());
        return false;
    }
    return true;
}

bool EnergyReports::Export(const EnergyReport& report) {
    const std::string path = toolkit::ProgramDir() + kEnergyReportFile;
    try {
        toolkit::SaveLines(path, EnergyCsvLines(report.rows, report.dayLabels));
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(text::kReportNotExported + std::string(error.what()));
        return false;
    }
    OpenSavedReport(ctx_.console, path);
    return true;
}

}  // namespace korvane
