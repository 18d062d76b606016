// The web API's routing and JSON bodies on any request: the first byte picks
// who asks (nobody, the page's administrator with the session's CSRF token,
// an administrator's token, a "réveil seulement" token) and whether Origin is
// set; then the method, the target and the Host, one per line; the rest is
// the body. Every answer carries the security headers, a JSON answer is
// JSON, no route fails on what it was sent (500), and a "réveil seulement"
// caller never gets past a refusal for what it may not do.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "check.h"
#include "korvane/web/webapi.h"

namespace {

class FixedClock : public korvane::Clock {
  public:
    std::chrono::system_clock::time_point Now() const override {
        return std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000));
    }
};

struct World {
    World()
        : access("", Settings()),
          api(board, access, clock, {{"198.18.0.5"}, {"bureau.lan"}}, Rules()) {
        korvane::BoardSnapshot snapshot;
        snapshot.entries = {{"pc1", "198.18.0.11", "02-4B-52-00-00-11", true},
                            {"pc2", "198.18.0.12", "02-4B-52-00-00-12", false},
                            {"salle-été", "198.18.0.13", "", true}};
        snapshot.incidents = {{1'799'999'000, "arret", "pc1", "ne s'est pas arrêté", "?"}};
        snapshot.texts = {{"on", "ON"}};
        board.Publish(snapshot);
        admin = access.AddToken("script", korvane::WebRole::Admin, {}, 0).secret;
        wakeOnly = access.AddToken("hub", korvane::WebRole::WakeOnly, {"pc1"}, 0).secret;
        korvane::web::Session session;
        session.name = "administrateur";
        sessionId = api.Sessions().Open(session, 1'800'000'000);
        csrf = api.Sessions().Use(sessionId, 1'800'000'000)->csrf;
    }
    // No password: a log-in attempt costs no key derivation, and fails.
    static korvane::WebAccessSettings Settings() {
        korvane::WebAccessSettings settings;
        settings.enabled = true;
        return settings;
    }
    // Never slowed: failures would otherwise close every path after a few inputs.
    static korvane::web::ApiRules Rules() {
        korvane::web::ApiRules rules;
        rules.throttle.free = 1e12;
        return rules;
    }
    FixedClock clock;
    korvane::WebBoard board{1000000, 64};
    korvane::AccessStore access;
    korvane::web::WebApi api;
    std::string admin, wakeOnly, sessionId, csrf;
};

std::string_view Line(std::string_view& text) {
    const auto end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return line;
}

bool Header(const korvane::web::WebResponse& response, const std::string& name) {
    for (const auto& header : response.headers) {
        if (header.first == name) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    if (size == 0) return 0;
    const std::uint8_t who = data[0];
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    korvane::web::WebRequest request;
    request.method = std::string(Line(text));
    request.target = std::string(Line(text));
    request.host = std::string(Line(text));
    request.body = std::string(text);
    request.contentType = "application/json";
    request.client = "198.18.0.20";
    switch (who & 3) {
        case 1:
            request.cookie = "korvane_session=" + world.sessionId;
            request.csrf = world.csrf;
            break;
        case 2:
            request.authorization = "Bearer " + world.admin;
            break;
        case 3:
            request.authorization = "Bearer " + world.wakeOnly;
            break;
    }
    if (who & 4) request.origin = "http://" + request.host;
    if (who & 8) request.host = "localhost:8765";

    const korvane::web::WebResponse response = world.api.Handle(request);
    // 500 is an exception the routes let through: a body or a path they did not expect.
    FUZZ_CHECK(response.status >= 200 && response.status < 600 && response.status != 500);
    FUZZ_CHECK(Header(response, "Content-Security-Policy"));
    FUZZ_CHECK(Header(response, "X-Content-Type-Options"));
    if (response.contentType.rfind("application/json", 0) == 0) {
        FUZZ_CHECK(!nlohmann::json::parse(response.body, nullptr, false).is_discarded());
    }
    const bool wakeOnly = (who & 3) == 3;
    const bool ok = response.status >= 200 && response.status < 300;
    if (wakeOnly && ok && request.method == "POST") {
        FUZZ_CHECK(request.target.size() >= 3 &&
                   request.target.compare(request.target.size() - 3, 3, "/on") == 0);
    }
    if (ok && request.target.rfind("/api/jetons", 0) == 0) FUZZ_CHECK((who & 3) == 1);
    world.board.TakeRequests(0);
    return 0;
}
