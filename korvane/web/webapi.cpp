#include "korvane/web/webapi.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "korvane/core/webcrypto.h"
#include "korvane/web/page.h"
#include "korvane/web/webjson.h"

namespace korvane::web {

namespace {

bool Acts(const std::string& method) {
    return method != "GET" && method != "HEAD";
}

std::string SessionCookie(const std::string& id, std::int64_t maxAge, bool tls) {
    return std::string(kSessionCookie) + "=" + id +
           "; Path=/; HttpOnly; SameSite=Strict; Max-Age=" + std::to_string(maxAge) +
           (tls ? "; Secure" : "");
}

WebResponse JsonResponse(int status, const Json& json) {
    WebResponse response;
    response.status = status;
    response.body = JsonText(json);
    return response;
}

WebResponse TooMany(std::int64_t seconds, const std::string& message) {
    WebResponse response = ErrorResponse(429, message);
    response.Add("Retry-After", std::to_string(seconds));
    return response;
}

}  // namespace

bool WebApi::Caller::MaySee(const std::string& entry) const {
    return role == WebRole::Admin ||
           std::find(entries.begin(), entries.end(), entry) != entries.end();
}

WebApi::WebApi(WebBoard& board, AccessStore& access, const Clock& clock, HostRule hosts,
               ApiRules rules)
    : board_(board),
      access_(access),
      clock_(clock),
      hosts_(std::move(hosts)),
      sessions_(rules.sessions),
      throttle_(rules.throttle) {}

std::int64_t WebApi::Now() const {
    return std::chrono::duration_cast<std::chrono::seconds>(clock_.Now().time_since_epoch())
        .count();
}

WebResponse WebApi::Handle(const WebRequest& request) {
    WebResponse response;
    try {
        response = Route(request);
    } catch (const std::exception&) {
        // Nothing of the fault reaches the client; the request changed nothing it could see.
        response = ErrorResponse(500, "Erreur interne de Korvane.");
    }
    const bool page = response.contentType.rfind("text/css", 0) == 0 ||
                      response.contentType.rfind("text/javascript", 0) == 0 ||
                      response.contentType.rfind("text/html", 0) == 0;
    AddSecurityHeaders(response, page && response.status == 200);
    return response;
}

// What is refused before anything else: another site's name in Host, a
// cross-site request that acts.
std::optional<WebResponse> WebApi::Refusal(const WebRequest& request) const {
    if (!HostAllowed(hosts_, request.host)) {
        return ErrorResponse(421,
                             "Nom d'hôte refusé : ajoutez-le aux noms permis de l'accès "
                             "depuis le réseau.");
    }
    if (!Acts(request.method)) return std::nullopt;
    if (!request.origin.empty() && !SameOrigin(request.origin, request.host, request.tls)) {
        return ErrorResponse(403, "Requête d'un autre site refusée.");
    }
    if (!request.secFetchSite.empty() && request.secFetchSite != "same-origin" &&
        request.secFetchSite != "none") {
        return ErrorResponse(403, "Requête d'un autre site refusée.");
    }
    return std::nullopt;
}

WebResponse WebApi::Route(const WebRequest& request) {
    if (auto refused = Refusal(request)) return *refused;
    const auto question = request.target.find('?');
    const std::string path = request.target.substr(0, question);
    const std::string query =
        question == std::string::npos ? "" : request.target.substr(question + 1);
    if (path == "/metrics") return Metrics(request);
    if (path.rfind("/api/", 0) == 0) return Api(request, path.substr(5), query);
    if (request.method != "GET") {
        return ErrorResponse(405, "Méthode refusée.");
    }
    return Page(path);
}

WebResponse WebApi::Page(const std::string& path) const {
    const PageFile* file = FindPageFile(path == "/index.html" ? "/" : path);
    if (!file) return ErrorResponse(404, "Page introuvable.");
    WebResponse response;
    response.contentType = std::string(file->contentType);
    response.body = std::string(file->bytes);
    return response;
}

// The caller's session (cookie) or token (Authorization: Bearer). A request
// that acts with a cookie must repeat the session's CSRF token: another
// site can make the browser send the cookie, never read the token.
std::optional<WebApi::Caller> WebApi::Identify(const WebRequest& request, WebResponse& refusal) {
    const std::int64_t now = Now();
    if (!request.authorization.empty()) {
        const auto secret = BearerToken(request.authorization);
        if (const std::int64_t wait = throttle_.Wait(request.client, now); wait > 0) {
            refusal = TooMany(wait, "Trop d'essais manqués : réessayez plus tard.");
            return std::nullopt;
        }
        const auto token = secret ? access_.UseToken(*secret, now) : std::nullopt;
        if (!token) {
            throttle_.Failed(request.client, now);
            refusal = ErrorResponse(401, "Jeton refusé.");
            return std::nullopt;
        }
        return Caller{token->role, token->name, token->entries, true, {}, {}};
    }
    const auto id = CookieValue(request.cookie, kSessionCookie);
    const auto session = id ? sessions_.Use(*id, now) : std::nullopt;
    if (!session) {
        refusal = ErrorResponse(401, "Connectez-vous.");
        return std::nullopt;
    }
    if (!session->tokenId.empty() && !access_.TokenById(session->tokenId)) {
        sessions_.Close(*id);
        refusal = ErrorResponse(401, "Jeton révoqué : connectez-vous.");
        return std::nullopt;
    }
    if (Acts(request.method) && !ConstantTimeEqual(request.csrf, session->csrf)) {
        refusal = ErrorResponse(403, "Jeton CSRF absent ou faux : rechargez la page.");
        return std::nullopt;
    }
    toolkit::TextList entries;
    if (!session->tokenId.empty()) entries = access_.TokenById(session->tokenId)->entries;
    return Caller{session->role, session->name, entries, false, *id, session->csrf};
}

WebResponse WebApi::Api(const WebRequest& request, const std::string& path,
                        const std::string& query) {
    if (path == "textes" && request.method == "GET") {
        return JsonResponse(200, Json(board_.Snapshot()->texts));
    }
    if (path == "session" && request.method == "POST") return LogIn(request);
    WebResponse refusal;
    const auto caller = Identify(request, refusal);
    if (!caller) return refusal;
    return Authenticated(request, *caller, path, query);
}

WebResponse WebApi::Authenticated(const WebRequest& request, const Caller& caller,
                                  const std::string& path, const std::string& query) {
    const std::string& method = request.method;
    if (path == "session") {
        if (method == "GET") return SessionInfo(caller);
        if (method == "DELETE") return LogOut(caller, request.tls);
        return ErrorResponse(405, "Méthode refusée.");
    }
    if (path == "etat" && method == "GET") return State(caller);
    if (path.rfind("entrees/", 0) == 0 && method == "POST") return Act(caller, path.substr(8));
    if (path.rfind("actions/", 0) == 0 && method == "GET")
        return ActionStatus(caller, path.substr(8));
    const bool admin = caller.role == WebRole::Admin;
    if (path == "jetons" || path.rfind("jetons/", 0) == 0) {
        // A script's token may not mint or revoke tokens: only the page's administrator.
        if (!admin || caller.bearer)
            return ErrorResponse(403, "Réservé à l'administrateur, depuis la page.");
        return Tokens(request, caller, path.substr(6));
    }
    const bool read = method == "GET";
    if (read && !admin && (path == "incidents" || path == "energie" || path == "appareils")) {
        return ErrorResponse(403, "Réservé à l'administrateur.");
    }
    if (read && path == "incidents") return Incidents(query);
    if (read && path == "energie") return Energy(query);
    if (read && path == "appareils") return Devices();
    return ErrorResponse(404, "Adresse inconnue de l'API.");
}

WebResponse WebApi::LogIn(const WebRequest& request) {
    const std::int64_t now = Now();
    if (const std::int64_t wait = throttle_.Wait(request.client, now); wait > 0) {
        return TooMany(wait,
                       "Trop d'essais manqués : réessayez dans " + std::to_string(wait) + " s.");
    }
    if (request.contentType.rfind("application/json", 0) != 0) {
        return ErrorResponse(415, "Corps JSON attendu (Content-Type: application/json).");
    }
    const Json body = Json::parse(request.body, nullptr, false);
    if (!body.is_object()) return ErrorResponse(400, "Corps JSON attendu.");
    Session session;
    bool granted = false;
    if (const auto password = body.find("mot_de_passe");
        password != body.end() && password->is_string()) {
        if (deriving_.exchange(true)) return TooMany(1, "Connexion occupée : réessayez.");
        // Released however the derivation ends: a throw must not refuse every later log-in.
        const std::unique_ptr<std::atomic<bool>, void (*)(std::atomic<bool>*)> release(
            &deriving_, [](std::atomic<bool>* flag) { *flag = false; });
        granted = access_.PasswordMatches(password->get<std::string>());
        session.role = WebRole::Admin;
        session.name = "administrateur";
    } else if (const auto secret = body.find("jeton");
               secret != body.end() && secret->is_string()) {
        if (const auto token = access_.UseToken(secret->get<std::string>(), now)) {
            granted = true;
            session.role = token->role;
            session.tokenId = token->id;
            session.name = token->name;
        }
    } else {
        return ErrorResponse(400, "Donnez « mot_de_passe » ou « jeton ».");
    }
    if (!granted) {
        throttle_.Failed(request.client, now);
        return ErrorResponse(401, "Mot de passe ou jeton refusé.");
    }
    const std::string id = sessions_.Open(session, now);
    const auto opened = sessions_.Use(id, now);
    WebResponse response = JsonResponse(
        200, {{"role", RoleName(opened->role)}, {"nom", opened->name}, {"csrf", opened->csrf}});
    response.Add("Set-Cookie", SessionCookie(id, sessions_.Limits().absoluteSeconds, request.tls));
    return response;
}

WebResponse WebApi::LogOut(const Caller& caller, bool tls) {
    if (caller.bearer) return ErrorResponse(400, "Un jeton n'a pas de session.");
    sessions_.Close(caller.sessionId);
    WebResponse response = JsonResponse(200, {{"fermee", true}});
    response.Add("Set-Cookie", SessionCookie("", 0, tls));
    return response;
}

WebResponse WebApi::SessionInfo(const Caller& caller) const {
    Json json = {{"role", RoleName(caller.role)}, {"nom", caller.name}};
    if (!caller.bearer) json["csrf"] = caller.csrf;
    return JsonResponse(200, json);
}

}  // namespace korvane::web
