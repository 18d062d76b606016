#include "korvane/web/webjson.h"

#include <cstdio>
#include <map>

#include "utctime.h"

namespace korvane::web {

namespace {

Json TimeJson(const std::optional<std::int64_t>& time) {
    return time ? Json(toolkit::UtcText(*time)) : Json(nullptr);
}

// A label value of the text format: backslash, quote and line end escaped.
std::string LabelValue(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\' || c == '"') escaped += '\\';
        if (c == '\n') {
            escaped += "\\n";
            continue;
        }
        escaped += c;
    }
    return escaped;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

}  // namespace

Json EntryJson(const BoardEntry& entry) {
    Json next = nullptr;
    if (!entry.nextAction.empty()) {
        next = {{"action", entry.nextAction}, {"heure", TimeJson(entry.nextActionTime)}};
    }
    return {{"nom", entry.name},
            {"adresse", entry.address},
            {"mac", entry.mac},
            {"allumee", entry.on},
            {"adresse_prise", entry.addressTaken},
            {"protegee", entry.isProtected},
            {"prochaine_action", next},
            {"commentaire", entry.comment}};
}

Json IncidentJson(const BoardIncident& incident) {
    return {{"heure", toolkit::UtcText(incident.time)},
            {"type", incident.kind},
            {"hote", incident.host},
            {"verdict", incident.verdict},
            {"raison", incident.reason}};
}

Json DeviceJson(const BoardDevice& device) {
    return {{"mac", device.mac},
            {"adresse", device.address},
            {"nom", device.name},
            {"premier_vu", toolkit::UtcText(device.firstSeen)},
            {"dernier_vu", toolkit::UtcText(device.lastSeen)},
            {"ancienne_adresse", device.previousAddress},
            {"deplace_le", TimeJson(device.movedAt)},
            {"marque", device.mark}};
}

Json ProgressJson(const ActionProgress& progress) {
    return {{"id", progress.id},
            {"action", ActionWord(progress.action)},
            {"entree", progress.entry},
            {"demandeur", progress.requester},
            {"etat", StateWord(progress.state)},
            {"message", progress.message},
            {"suivi", progress.followUp},
            {"demandee", toolkit::UtcText(progress.requested)},
            {"mise_a_jour", toolkit::UtcText(progress.updated)}};
}

Json TokenJson(const ApiToken& token) {
    return {{"id", token.id},
            {"nom", token.name},
            {"role", RoleName(token.role)},
            {"entrees", token.entries},
            {"cree", toolkit::UtcText(token.created)},
            {"dernier_usage", TimeJson(token.lastUse)}};
}

Json EnergyJson(const EnergyTable& table, int days) {
    Json rows = Json::array();
    double total = 0;
    for (const EnergyRow& row : table.rows) {
        rows.push_back({{"nom", row.name},
                        {"puissance_w", row.watts},
                        {"heures", row.hours},
                        {"total_heures", row.TotalHours()},
                        {"kwh", row.Kwh()}});
        total += row.Kwh();
    }
    Json json = {
        {"jours", days}, {"dates", table.dayLabels}, {"lignes", rows}, {"total_kwh", total}};
    if (!table.problem.empty()) json["probleme"] = table.problem;
    return json;
}

std::string EnergyCsv(const EnergyTable& table) {
    std::string csv;
    for (const std::string& line : EnergyCsvLines(table.rows, table.dayLabels))
        csv += line + "\r\n";
    return csv;
}

std::string MetricsText(const BoardSnapshot& snapshot, const EnergyTable& today) {
    std::string text =
        "# HELP korvane_up 1 quand l'ordinateur a répondu au dernier relevé, 0 sinon.\n"
        "# TYPE korvane_up gauge\n";
    for (const BoardEntry& entry : snapshot.entries) {
        text += "korvane_up{nom=\"" + LabelValue(entry.name) + "\",adresse=\"" +
                LabelValue(entry.address) + "\",mac=\"" + LabelValue(entry.mac) + "\"} " +
                (entry.on ? "1" : "0") + "\n";
    }
    text +=
        "# HELP korvane_passerelle_up 1 quand la passerelle répond.\n"
        "# TYPE korvane_passerelle_up gauge\n"
        "korvane_passerelle_up " +
        std::string(snapshot.gateway.up ? "1" : "0") + "\n";
    text +=
        "# HELP korvane_heures_allumage Heures sous tension aujourd'hui.\n"
        "# TYPE korvane_heures_allumage gauge\n";
    for (const EnergyRow& row : today.rows) {
        text += "korvane_heures_allumage{nom=\"" + LabelValue(row.name) + "\"} " +
                Number(row.TotalHours()) + "\n";
    }
    std::map<std::string, int> incidents{{"reveil", 0}, {"arret", 0}};
    for (const BoardIncident& incident : snapshot.incidents) ++incidents[incident.kind];
    text +=
        "# HELP korvane_incidents Incidents des suivis que Korvane garde (les plus récents).\n"
        "# TYPE korvane_incidents gauge\n";
    for (const auto& [kind, count] : incidents) {
        text +=
            "korvane_incidents{type=\"" + LabelValue(kind) + "\"} " + std::to_string(count) + "\n";
    }
    return text;
}

std::string JsonText(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace korvane::web
