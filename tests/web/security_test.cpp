// Each point of the access's security against the running server, over real
// sockets on loopback, in the test's private network namespace.
#include <gtest/gtest.h>

#include <thread>

#include "web_support.h"

namespace {

using namespace std::chrono_literals;
using webtest::Connection;
using webtest::Reply;
using webtest::Served;

korvane::web::ServerConfig Short() {
    korvane::web::ServerConfig config;
    config.requestTimeout = 400ms;
    config.maxConnections = 4;
    config.headerLimit = 8 * 1024;
    config.bodyLimit = 32 * 1024;
    return config;
}

void ExpectSecurityHeaders(const Reply& reply, const std::string& what) {
    EXPECT_EQ(reply.Header("content-security-policy").rfind("default-src 'self'", 0), 0u) << what;
    EXPECT_EQ(reply.Header("x-content-type-options"), "nosniff") << what;
    EXPECT_EQ(reply.Header("referrer-policy"), "no-referrer") << what;
    EXPECT_EQ(reply.Header("x-frame-options"), "DENY") << what;
    EXPECT_FALSE(reply.Header("cache-control").empty()) << what;
}

TEST(WebSecurityServed, HostMustNameThisMachine) {
    Served served(Short());
    const std::string port = std::to_string(served.Port());
    struct Case {
        std::string host;
        int status;
    } cases[] = {
        {"localhost:" + port, 200},  {"127.0.0.1:" + port, 200}, {"[::1]:" + port, 200},
        {"198.18.0.5:" + port, 200}, {"bureau.lan", 200},        {"evil.example:" + port, 421},
        {"evil.example", 421},       {"198.18.0.5.nip.io", 421}, {"localhost.evil.example", 421},
    };
    for (const Case& c : cases) {
        for (const char* target : {"/", "/api/textes"}) {
            EXPECT_EQ(served.Ask("GET", target, {{"Host", c.host}}).status, c.status)
                << c.host << target;
        }
    }
    // No Host at all: HTTP/1.1 requires one, and without it nothing is served.
    Connection bare(served.Port());
    bare.Send("GET /api/textes HTTP/1.1\r\n\r\n");
    EXPECT_EQ(bare.Receive().status, 421);
    // A log-in through a foreign name is refused before the password is looked at.
    EXPECT_EQ(served
                  .Ask("POST", "/api/session",
                       {{"Host", "evil.example"}, {"Content-Type", "application/json"}},
                       std::string("{\"mot_de_passe\":\"") + webtest::kPassword + "\"}")
                  .status,
              421);
}

TEST(WebSecurityServed, ActingWithTheCookieNeedsTheSessionsCsrfToken) {
    Served served(Short());
    const Served::Login login = served.LogIn();
    ASSERT_FALSE(login.cookie.empty());
    ASSERT_EQ(login.csrf.size(), 64u);
    std::string wrong = login.csrf;
    wrong[0] = wrong[0] == 'a' ? 'b' : 'a';
    struct Case {
        std::map<std::string, std::string> headers;
        int status;
    } cases[] = {
        {{{"Cookie", login.cookie}}, 403},
        {{{"Cookie", login.cookie}, {"X-CSRF-Token", wrong}}, 403},
        {{{"Cookie", login.cookie}, {"X-CSRF-Token", login.csrf.substr(0, 63)}}, 403},
        {{{"X-CSRF-Token", login.csrf}}, 401},  // a token without its cookie is nobody
        {served.Acting(login), 202},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(served.Ask("POST", "/api/entrees/pc1/on", c.headers).status, c.status);
        EXPECT_EQ(served.Ask("DELETE", "/api/jetons/0a1b2c3d", c.headers).status,
                  c.status == 202 ? 404 : c.status);
    }
    // Reading needs no CSRF token; logging out does.
    EXPECT_EQ(served.Ask("GET", "/api/etat", {{"Cookie", login.cookie}}).status, 200);
    EXPECT_EQ(served.Ask("DELETE", "/api/session", {{"Cookie", login.cookie}}).status, 403);
    EXPECT_EQ(served.Ask("DELETE", "/api/session", served.Acting(login)).status, 200);
    EXPECT_EQ(served.Ask("GET", "/api/etat", {{"Cookie", login.cookie}}).status, 401);
}

TEST(WebSecurityServed, RequestsThatActFromAnotherOriginAreRefused) {
    Served served(Short());
    const Served::Login login = served.LogIn();
    const std::string own = "http://localhost:" + std::to_string(served.Port());
    struct Case {
        std::string origin;
        std::string fetchSite;
        int status;
    } cases[] = {
        {"http://evil.example", "", 403},
        {"null", "", 403},
        {"https://localhost:" + std::to_string(served.Port()), "", 403},  // another scheme
        {own, "cross-site", 403},
        {"", "same-site", 403},
        {own, "same-origin", 202},
        {"", "", 202},
    };
    for (const Case& c : cases) {
        auto headers = served.Acting(login);
        headers["Origin"] = c.origin;
        headers["Sec-Fetch-Site"] = c.fetchSite;
        EXPECT_EQ(served.Ask("POST", "/api/entrees/pc1/on", headers).status, c.status)
            << c.origin << " " << c.fetchSite;
        if (c.status == 403) {
            // The log-in itself, from another site (a login CSRF).
            headers.erase("Cookie");
            headers["Content-Type"] = "application/json";
            EXPECT_EQ(served
                          .Ask("POST", "/api/session", headers,
                               std::string("{\"mot_de_passe\":\"") + webtest::kPassword + "\"}")
                          .status,
                      403);
        }
    }
    // A simple form post cannot log in: JSON only.
    EXPECT_EQ(
        served
            .Ask("POST", "/api/session", {{"Content-Type", "application/x-www-form-urlencoded"}},
                 std::string("mot_de_passe=") + webtest::kPassword)
            .status,
        415);
}

TEST(WebSecurityServed, SessionsExpireIdleAndOld) {
    Served served(Short());
    Served::Login login = served.LogIn();
    served.clock.Advance(29 * 60);
    EXPECT_EQ(served.Ask("GET", "/api/etat", {{"Cookie", login.cookie}}).status, 200);
    served.clock.Advance(30 * 60);
    EXPECT_EQ(served.Ask("GET", "/api/etat", {{"Cookie", login.cookie}}).status, 401);
    login = served.LogIn();
    for (int hour = 0; hour < 12; ++hour) {
        served.clock.Advance(20 * 60);
        EXPECT_EQ(served.Ask("GET", "/api/session", {{"Cookie", login.cookie}}).status, 200);
        served.clock.Advance(20 * 60);
        EXPECT_EQ(served.Ask("GET", "/api/session", {{"Cookie", login.cookie}}).status, 200);
        served.clock.Advance(20 * 60);
        EXPECT_EQ(served.Ask("GET", "/api/session", {{"Cookie", login.cookie}}).status,
                  hour < 11 ? 200 : 401)
            << hour;
    }
}

TEST(WebSecurityServed, CookieIsHttpOnlyStrictAndPathWide) {
    Served served(Short());
    const Reply reply =
        served.Ask("POST", "/api/session", {{"Content-Type", "application/json"}},
                   std::string("{\"mot_de_passe\":\"") + webtest::kPassword + "\"}");
    ASSERT_EQ(reply.status, 200);
    const std::string cookie = reply.Header("set-cookie");
    for (const char* part : {"; Path=/", "; HttpOnly", "; SameSite=Strict", "; Max-Age="}) {
        EXPECT_NE(cookie.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(cookie.find("Secure"), std::string::npos);  // HTTP here; Secure over HTTPS
    EXPECT_EQ(reply.body.find(webtest::kPassword), std::string::npos);
}

TEST(WebSecurityServed, TokensCanBeRevokedAndWakeOnlyOnesSeeAndWakeTheirEntriesOnly) {
    Served served(Short());
    const Served::Login admin = served.LogIn();
    auto headers = served.Acting(admin);
    headers["Content-Type"] = "application/json";
    const Reply made = served.Ask("POST", "/api/jetons", headers,
                                  R"({"nom":"hub","role":"reveil","entrees":["pc1","salle-été"]})");
    ASSERT_EQ(made.status, 201) << made.body;
    const auto at = made.body.find("\"jeton\":\"");
    ASSERT_NE(at, std::string::npos);
    const std::string secret = made.body.substr(at + 9, 47);
    const std::string id = made.body.substr(made.body.find("\"id\":\"") + 6, 8);
    const std::map<std::string, std::string> bearer{{"Authorization", "Bearer " + secret}};

    const Reply state = served.Ask("GET", "/api/etat", bearer);
    EXPECT_EQ(state.status, 200);
    EXPECT_NE(state.body.find("\"pc1\""), std::string::npos);
    EXPECT_EQ(state.body.find("\"pc2\""), std::string::npos);
    EXPECT_EQ(state.body.find("passerelle"), std::string::npos);
    struct Case {
        const char* method;
        const char* target;
        int status;
    } cases[] = {
        {"POST", "/api/entrees/pc1/on", 202},
        {"POST", "/api/entrees/salle-%C3%A9t%C3%A9/on", 202},
        {"POST", "/api/entrees/pc1/off", 403},
        {"POST", "/api/entrees/pc1/redemarrer", 403},
        {"POST", "/api/entrees/pc1/tester", 403},
        {"POST", "/api/entrees/pc2/on", 404},  // not its entry: not even shown to exist
        {"POST", "/api/entrees/nulle-part/on", 404},
        {"GET", "/api/incidents", 403},
        {"GET", "/api/appareils", 403},
        {"GET", "/api/energie", 403},
        {"GET", "/api/jetons", 403},
        {"POST", "/api/jetons", 403},
        {"GET", "/metrics", 403},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(served.Ask(c.method, c.target, bearer).status, c.status) << c.method << c.target;
    }
    // Logged in on the page with the token: the same limits.
    const Served::Login wakeOnly = served.LogIn("{\"jeton\":\"" + secret + "\"}");
    EXPECT_EQ(served.Ask("POST", "/api/entrees/pc1/off", served.Acting(wakeOnly)).status, 403);
    EXPECT_EQ(served.Ask("POST", "/api/entrees/pc1/on", served.Acting(wakeOnly)).status, 202);
    const Reply listed = served.Ask("GET", "/api/jetons", {{"Cookie", admin.cookie}});
    EXPECT_NE(listed.body.find("\"dernier_usage\":\"20"), std::string::npos) << listed.body;
    EXPECT_EQ(listed.body.find(secret), std::string::npos);

    EXPECT_EQ(served.Ask("DELETE", "/api/jetons/" + id, served.Acting(admin)).status, 200);
    EXPECT_EQ(served.Ask("GET", "/api/etat", bearer).status, 401);
    EXPECT_EQ(served.Ask("GET", "/api/etat", {{"Cookie", wakeOnly.cookie}}).status, 401);
    // A script's administrator token may act, never make tokens.
    const Reply adminToken =
        served.Ask("POST", "/api/jetons", headers, R"({"nom":"cron","role":"admin"})");
    const std::string adminSecret =
        adminToken.body.substr(adminToken.body.find("\"jeton\":\"") + 9, 47);
    const std::map<std::string, std::string> script{{"Authorization", "Bearer " + adminSecret}};
    EXPECT_EQ(served.Ask("POST", "/api/entrees/pc2/off", script).status, 202);
    EXPECT_EQ(served.Ask("GET", "/api/jetons", script).status, 403);
    const Reply metrics = served.Ask("GET", "/metrics", script);
    EXPECT_EQ(metrics.status, 200);
    EXPECT_NE(metrics.body.find(
                  "korvane_up{nom=\"pc1\",adresse=\"198.18.0.11\",mac=\"02-4B-52-00-00-11\"} 1"),
              std::string::npos)
        << metrics.body;
    EXPECT_EQ(served.Ask("GET", "/metrics", {}).status, 401);
}

TEST(WebSecurityServed, TenWrongPasswordsAreSlowedThenAllowedAgain) {
    Served served(Short());
    const auto attempt = [&](const std::string& password) {
        return served.Ask("POST", "/api/session", {{"Content-Type", "application/json"}},
                          "{\"mot_de_passe\":\"" + password + "\"}");
    };
    int slowed = 0;
    for (int i = 0; i < 10; ++i) {
        Reply reply = attempt("faux mot de passe");
        if (reply.status == 429) {
            ++slowed;
            const int wait = std::stoi(reply.Header("retry-after"));
            EXPECT_GT(wait, 0);
            served.clock.Advance(wait);
            reply = attempt("faux mot de passe");
        }
        EXPECT_EQ(reply.status, 401) << i;
    }
    EXPECT_EQ(slowed, 5);
    // Even the right password waits now: a guesser cannot tell it was right.
    EXPECT_EQ(attempt(webtest::kPassword).status, 429);
    // A bad bearer token counts as a failure too, and is slowed the same way.
    EXPECT_EQ(served.Ask("GET", "/api/etat", {{"Authorization", "Bearer krv_faux"}}).status, 429);
    served.clock.Advance(6 * 60);
    EXPECT_EQ(attempt(webtest::kPassword).status, 200);
}

TEST(WebSecurityServed, OversizedHeaderAndBodyAreRefused) {
    Served served(Short());
    const Reply header =
        served.Ask("GET", "/api/textes", {{"X-Remplissage", std::string(9000, 'a')}});
    EXPECT_EQ(header.status, 431);
    ExpectSecurityHeaders(header, "431");
    const Reply body = served.Ask("POST", "/api/session", {{"Content-Type", "application/json"}},
                                  "{\"mot_de_passe\":\"" + std::string(40 * 1024, 'a') + "\"}");
    EXPECT_EQ(body.status, 413);
    // Announced larger than allowed: refused before it is sent.
    Connection announced(served.Port());
    announced.Send(
        "POST /api/session HTTP/1.1\r\nHost: localhost\r\nContent-Length: 100000000\r\n\r\n");
    EXPECT_EQ(announced.Receive().status, 413);
    Connection garbage(served.Port());
    garbage.Send("GET / HTTP/1.1\r\nHost localhost\r\n\r\n");
    EXPECT_EQ(garbage.Receive().status, 400);
}

// A HEAD answer is its head only, its Content-Length included: a body after
// it would be read as the next answer on the kept-alive connection.
TEST(WebSecurityServed, HeadIsAnsweredWithTheHeadOnlyAndTheConnectionGoesOn) {
    Served served(Short());
    webtest::Connection connection(served.Port());
    for (const char* target : {"/style.css", "/api/etat"}) {
        connection.Send(webtest::RequestText("HEAD", target, served.Port()) +
                        webtest::RequestText("GET", "/api/textes", served.Port()));
        const Reply head = connection.Receive(std::chrono::seconds(5), true);
        EXPECT_NE(head.status, 0) << target;
        EXPECT_EQ(head.body, "") << target;
        EXPECT_NE(head.Header("content-length"), "0") << target;
        const Reply next = connection.Receive();
        EXPECT_EQ(next.status, 200) << target;
        EXPECT_EQ(next.body, served.Ask("GET", "/api/textes").body) << target;
    }
}

TEST(WebSecurityServed, SlowClientsAndIdleConnectionsAreCutAtTheTimeOut) {
    Served served(Short());
    Connection slow(served.Port());
    slow.Send("GET /api/textes HTTP/1.1\r\nHost: loc");
    std::this_thread::sleep_for(200ms);
    slow.Send("alhost\r\nX-Lent: ");
    EXPECT_TRUE(slow.ClosedWithin(2s));  // 400 ms for the whole request, however it trickles
    Connection idle(served.Port());
    idle.Send(webtest::RequestText("GET", "/api/textes", served.Port()));
    EXPECT_EQ(idle.Receive().status, 200);
    EXPECT_TRUE(idle.ClosedWithin(2s));  // kept alive, then idle past the time-out
    Connection prompt(served.Port());
    EXPECT_FALSE(prompt.ClosedWithin(100ms));
}

TEST(WebSecurityServed, ConnectionsPastTheLimitAreClosedAtOnce) {
    Served served(Short());
    std::vector<std::unique_ptr<Connection>> held;
    for (int i = 0; i < 4; ++i) held.push_back(std::make_unique<Connection>(served.Port()));
    std::this_thread::sleep_for(100ms);
    Connection extra(served.Port());
    EXPECT_TRUE(extra.ClosedWithin(1s));
    // The held ones are still served.
    held[0]->Send(webtest::RequestText("GET", "/api/textes", served.Port()));
    EXPECT_EQ(held[0]->Receive().status, 200);
    held.pop_back();
    std::this_thread::sleep_for(100ms);
    Connection after(served.Port());
    after.Send(webtest::RequestText("GET", "/api/textes", served.Port()));
    EXPECT_EQ(after.Receive().status, 200);
}

TEST(WebSecurityServed, EveryResponseCarriesTheSecurityHeaders) {
    Served served(Short());
    const Served::Login login = served.LogIn();
    struct Case {
        const char* method;
        const char* target;
        std::map<std::string, std::string> headers;
        int status;
    } cases[] = {
        {"GET", "/", {}, 200},
        {"GET", "/app.js", {}, 200},
        {"GET", "/style.css", {}, 200},
        {"GET", "/nulle-part", {}, 404},
        {"GET", "/api/etat", {}, 401},
        {"GET", "/api/etat", {{"Cookie", login.cookie}}, 200},
        {"GET", "/api/energie?jours=7&format=csv", {{"Cookie", login.cookie}}, 200},
        {"GET", "/api/textes", {{"Host", "evil.example"}}, 421},
        {"PUT", "/", {}, 405},
    };
    for (const Case& c : cases) {
        const Reply reply = served.Ask(c.method, c.target, c.headers);
        EXPECT_EQ(reply.status, c.status) << c.target;
        ExpectSecurityHeaders(reply, c.target);
    }
    const Reply page = served.Ask("GET", "/", {});
    EXPECT_EQ(page.Header("content-type"), "text/html; charset=utf-8");
    // No inline script or style, nothing fetched from elsewhere.
    EXPECT_EQ(page.body.find("<script>"), std::string::npos);
    EXPECT_EQ(page.body.find("style="), std::string::npos);
    EXPECT_EQ(page.body.find("<style"), std::string::npos);
    EXPECT_EQ(page.body.find("http"), std::string::npos);
}

}  // namespace
