// The API's JSON: what the snapshot, the actions, the tokens and the energy
// report look like on the wire (docs/api.md). Times are UTC texts
// "2026-12-08T07:30:12Z".
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "korvane/app/webboard.h"
#include "korvane/core/webaccess.h"
#include "korvane/web/energycache.h"

namespace korvane::web {

using Json = nlohmann::json;

Json EntryJson(const BoardEntry& entry);
Json IncidentJson(const BoardIncident& incident);
Json DeviceJson(const BoardDevice& device);
Json ProgressJson(const ActionProgress& progress);
Json TokenJson(const ApiToken& token);
Json EnergyJson(const EnergyTable& table, int days);
// The core's CSV of the report (the window's export), lines ended CR LF.
std::string EnergyCsv(const EnergyTable& table);
// Prometheus' text format 0.0.4: one `korvane_up` gauge per entry, the
// gateway's, hours on today, incidents by kind.
std::string MetricsText(const BoardSnapshot& snapshot, const EnergyTable& today);
// A JSON text whatever the bytes (invalid UTF-8 replaced).
std::string JsonText(const Json& json);

}  // namespace korvane::web
