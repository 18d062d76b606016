// The API's routes once the caller is known (webapi.cpp).
#include <charconv>
#include <stdexcept>

#include "korvane/web/webapi.h"
#include "korvane/web/webjson.h"
#include "utctime.h"

namespace korvane::web {

namespace {

WebResponse JsonResponse(int status, const Json& json) {
    WebResponse response;
    response.status = status;
    response.body = JsonText(json);
    return response;
}

std::optional<std::uint64_t> ParseId(const std::string& text) {
    std::uint64_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return id;
}

std::optional<int> ParseDays(const std::optional<std::string>& text) {
    if (!text) return 7;
    int days = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), days);
    if (error != std::errc() || end != text->data() + text->size() || days < 1 ||
        days > kMaxEnergyDays) {
        return std::nullopt;
    }
    return days;
}

}  // namespace

WebResponse WebApi::State(const Caller& caller) const {
    WebResponse response;
    response.status = 200;
    response.body = *StateBody(caller, board_.Snapshot());
    return response;
}

std::shared_ptr<const std::string> WebApi::StateBody(
    const Caller& caller, const std::shared_ptr<const BoardSnapshot>& snapshot) const {
    // The view: the administrator sees all; a token its entries, in its order.
    std::string view = caller.role == WebRole::Admin ? std::string("*") : std::string();
    for (const std::string& entry : caller.entries) view += "\n" + entry;
    {
        const std::lock_guard lock(stateMutex_);
        // Held while cached, the snapshot's address can't name a newer one.
        if (stateSnapshot_ != snapshot) {
            stateSnapshot_ = snapshot;
            stateBodies_.clear();
        }
        if (const auto found = stateBodies_.find(view); found != stateBodies_.end())
            return found->second;
    }
    Json entries = Json::array();
    for (const BoardEntry& entry : snapshot->entries) {
        if (caller.MaySee(entry.name)) entries.push_back(EntryJson(entry));
    }
    Json json = {
        {"version", snapshot->version},
        {"releve", snapshot->pollTime ? Json(toolkit::UtcText(*snapshot->pollTime)) : Json()},
        {"entrees", entries}};
    if (caller.role == WebRole::Admin) {
        json["passerelle"] = {{"nom", snapshot->gateway.name},
                              {"adresse", snapshot->gateway.address},
                              {"allumee", snapshot->gateway.up}};
        json["scan"] = {
            {"en_cours", snapshot->scanning},
            {"dernier", snapshot->lastScan ? Json(toolkit::UtcText(*snapshot->lastScan)) : Json()}};
    }
    auto body = std::make_shared<const std::string>(JsonText(json));
    const std::lock_guard lock(stateMutex_);
    // Bounded by the views there can be (the tokens, and the administrator).
    if (stateSnapshot_ == snapshot && stateBodies_.size() <= kMaxTokens) stateBodies_[view] = body;
    return body;
}

// POST /api/entrees/NAME/ACTION: NAME is percent-encoded UTF-8, found by
// exact look-up in the snapshot; the app decides the rest (protected list,
// an address another device took) as its window does.
WebResponse WebApi::Act(const Caller& caller, const std::string& rest) {
    const auto slash = rest.rfind('/');
    if (slash == std::string::npos) return ErrorResponse(404, "Action attendue après le nom.");
    const auto name = DecodeSegment(std::string_view(rest).substr(0, slash));
    const auto action = ParseActionWord(std::string_view(rest).substr(slash + 1));
    if (!name || !action) return ErrorResponse(404, "Entrée ou action inconnue.");
    const auto snapshot = board_.Snapshot();
    if (!snapshot->Find(*name) || !caller.MaySee(*name)) {
        return ErrorResponse(404, "Entrée inconnue : " + toolkit::Quoted(*name) + ".");
    }
    if (caller.role != WebRole::Admin && *action != WebAction::WakeUp) {
        return ErrorResponse(403, "Ce compte peut seulement allumer.");
    }
    const auto id = board_.Request(*action, *name, caller.name, Now());
    if (!id) {
        WebResponse response = ErrorResponse(503, "Trop de commandes en attente : réessayez.");
        response.Add("Retry-After", "2");
        return response;
    }
    WebResponse response = JsonResponse(202, ProgressJson(*board_.Progress(*id)));
    response.Add("Location", "/api/actions/" + std::to_string(*id));
    return response;
}

WebResponse WebApi::ActionStatus(const Caller& caller, const std::string& text) const {
    const auto id = ParseId(text);
    const auto progress = id ? board_.Progress(*id) : std::nullopt;
    if (!progress || !caller.MaySee(progress->entry)) return ErrorResponse(404, "Action inconnue.");
    return JsonResponse(200, ProgressJson(*progress));
}

WebResponse WebApi::Incidents(const std::string& query) const {
    std::int64_t since = 0;
    if (const auto text = QueryValue(query, "depuis")) {
        const auto parsed = toolkit::ParseUtcText(*text);
        if (!parsed)
            return ErrorResponse(400, "« depuis » : une heure UTC comme 2026-12-08T07:30:12Z.");
        since = *parsed;
    }
    Json incidents = Json::array();
    for (const BoardIncident& incident : board_.Snapshot()->incidents) {
        if (incident.time >= since) incidents.push_back(IncidentJson(incident));
    }
    return JsonResponse(200, {{"incidents", incidents}});
}

WebResponse WebApi::Energy(const std::string& query) {
    const auto days = ParseDays(QueryValue(query, "jours"));
    if (!days) {
        return ErrorResponse(400, "« jours » : de 1 à " + std::to_string(kMaxEnergyDays) + ".");
    }
    const auto format = QueryValue(query, "format");
    if (format && *format != "csv" && *format != "json")
        return ErrorResponse(400, "« format » : json ou csv.");
    const auto snapshot = board_.Snapshot();
    toolkit::TextList names;
    for (const BoardEntry& entry : snapshot->entries) names.push_back(entry.name);
    const auto table = energy_.Report(snapshot->programDir, names, *days, clock_.Now());
    if (format && *format == "csv") {
        WebResponse response;
        response.contentType = "text/csv; charset=utf-8";
        response.body = EnergyCsv(*table);
        response.Add("Content-Disposition", "attachment; filename=\"consommation.csv\"");
        return response;
    }
    return JsonResponse(200, EnergyJson(*table, *days));
}

WebResponse WebApi::Devices() const {
    const auto snapshot = board_.Snapshot();
    Json devices = Json::array();
    for (const BoardDevice& device : snapshot->devices) devices.push_back(DeviceJson(device));
    return JsonResponse(200, {{"appareils", devices}});
}

WebResponse WebApi::Tokens(const WebRequest& request, const Caller&, const std::string& rest) {
    if (rest.empty() && request.method == "GET") {
        Json tokens = Json::array();
        for (const ApiToken& token : access_.Settings().tokens) tokens.push_back(TokenJson(token));
        return JsonResponse(200, {{"jetons", tokens}});
    }
    if (rest.empty() && request.method == "POST") {
        const Json body = Json::parse(request.body, nullptr, false);
        if (!body.is_object() || !body.value("nom", Json()).is_string()) {
            return ErrorResponse(400, "Donnez au moins « nom ».");
        }
        const Json roleText = body.value("role", Json("reveil"));
        const auto role =
            roleText.is_string() ? ParseRole(roleText.get<std::string>()) : std::nullopt;
        toolkit::TextList entries;
        const Json list = body.value("entrees", Json::array());
        for (const Json& entry : list.is_array() ? list : Json::array()) {
            if (!entry.is_string()) return ErrorResponse(400, "« entrees » : une liste de noms.");
            entries.push_back(entry.get<std::string>());
        }
        if (!role) return ErrorResponse(400, "« role » : admin ou reveil.");
        try {
            const NewToken made =
                access_.AddToken(body["nom"].get<std::string>(), *role, entries, Now());
            Json json = TokenJson(made.kept);
            json["jeton"] = made.secret;
            return JsonResponse(201, json);
        } catch (const std::invalid_argument& refused) {
            return ErrorResponse(400, refused.what());
        } catch (const toolkit::FileError& error) {
            return ErrorResponse(500, error.what());
        }
    }
    if (rest.size() > 1 && rest[0] == '/' && request.method == "DELETE") {
        const std::string id = rest.substr(1);
        try {
            if (!access_.RevokeToken(id)) return ErrorResponse(404, "Jeton inconnu.");
        } catch (const toolkit::FileError& error) {
            return ErrorResponse(500, error.what());
        }
        sessions_.CloseToken(id);
        return JsonResponse(200, {{"revoque", id}});
    }
    return ErrorResponse(405, "Méthode refusée.");
}

// GET /metrics: for a scraper with an administrator's token, no session.
WebResponse WebApi::Metrics(const WebRequest& request) {
    if (request.method != "GET") return ErrorResponse(405, "Méthode refusée.");
    if (request.authorization.empty())
        return ErrorResponse(401, "Jeton attendu (Authorization: Bearer).");
    WebResponse refusal;
    const auto caller = Identify(request, refusal);
    if (!caller) return refusal;
    if (caller->role != WebRole::Admin)
        return ErrorResponse(403, "Réservé à un jeton administrateur.");
    const auto snapshot = board_.Snapshot();
    toolkit::TextList names;
    for (const BoardEntry& entry : snapshot->entries) names.push_back(entry.name);
    const auto today = energy_.Report(snapshot->programDir, names, 1, clock_.Now());
    WebResponse response;
    response.contentType = "text/plain; version=0.0.4; charset=utf-8";
    response.body = MetricsText(*snapshot, *today);
    return response;
}

}  // namespace korvane::web
