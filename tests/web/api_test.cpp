// What the API answers, as a script or the page reads it.
#include <gtest/gtest.h>

#include <cctype>

#include <nlohmann/json.hpp>

#include "korvane/app/webtexts.h"
#include "korvane/core/energy.h"
#include "korvane/core/history.h"
#include "korvane/web/page.h"
#include "utils.h"
#include "web_support.h"

namespace {

using Json = nlohmann::json;
using webtest::Reply;
using webtest::Served;

Json Body(const Reply& reply) {
    return Json::parse(reply.body, nullptr, false);
}

TEST(WebApi, StateShowsEveryEntryAsTheMapDoes) {
    Served served;
    const auto login = served.LogIn();
    const Json state = Body(served.Ask("GET", "/api/etat", {{"Cookie", login.cookie}}));
    ASSERT_EQ(state["entrees"].size(), 3u);
    EXPECT_EQ(state["entrees"][0],
              Json({{"nom", "pc1"},
                    {"adresse", "198.18.0.11"},
                    {"mac", "02-4B-52-00-00-11"},
                    {"allumee", true},
                    {"adresse_prise", false},
                    {"protegee", false},
                    {"prochaine_action", {{"action", "arret"}, {"heure", "2027-01-15T09:00:00Z"}}},
                    {"commentaire", "accueil"}}));
    EXPECT_EQ(state["entrees"][1]["protegee"], true);
    EXPECT_EQ(state["entrees"][1]["prochaine_action"], nullptr);
    EXPECT_EQ(state["entrees"][2]["nom"], "salle-été");
    EXPECT_EQ(state["entrees"][2]["adresse_prise"], true);
    EXPECT_EQ(state["passerelle"],
              Json({{"nom", "box"}, {"adresse", "198.18.0.1"}, {"allumee", true}}));
    EXPECT_EQ(state["releve"], "2027-01-15T08:00:00Z");
    EXPECT_EQ(state["scan"]["en_cours"], false);
    EXPECT_EQ(Body(served.Ask("GET", "/api/textes", {})), Json({{"on", "ON"}, {"off", "OFF"}}));
}

// GET /api/etat's body is made once per publication and per view: each
// caller still gets its own view, and a publication shows at once.
TEST(WebApi, StateFollowsEachPublicationInEveryCallersView) {
    Served served;
    const auto login = served.LogIn();
    const std::map<std::string, std::string> admin{{"Cookie", login.cookie}};
    const auto wakeOnly = served.access.AddToken("hub", korvane::WebRole::WakeOnly, {"pc2"}, 0);
    const auto otherWakeOnly =
        served.access.AddToken("cuisine", korvane::WebRole::WakeOnly, {"pc1", "salle-été"}, 0);
    const auto names = [&](const std::map<std::string, std::string>& headers) {
        const Json state = Body(served.Ask("GET", "/api/etat", headers));
        std::string seen = state.contains("passerelle") ? "passerelle" : "";
        for (const Json& entry : state["entrees"]) {
            seen += " " + entry["nom"].get<std::string>() + (entry["allumee"] ? "+" : "-");
        }
        return seen;
    };
    const std::map<std::string, std::string> hub{{"Authorization", "Bearer " + wakeOnly.secret}};
    const std::map<std::string, std::string> kitchen{
        {"Authorization", "Bearer " + otherWakeOnly.secret}};
    korvane::BoardSnapshot next = webtest::SampleSnapshot();
    next.entries[0].on = false;
    next.entries[1].on = true;
    for (int round = 0; round < 2; ++round) {
        const bool published = round == 1;
        for (int ask = 0; ask < 2; ++ask) {
            EXPECT_EQ(names(admin), published ? "passerelle pc1- pc2+ salle-été+"
                                              : "passerelle pc1+ pc2- salle-été+");
            EXPECT_EQ(names(hub), published ? " pc2+" : " pc2-");
            EXPECT_EQ(names(kitchen), published ? " pc1- salle-été+" : " pc1+ salle-été+");
        }
        served.board.Publish(next);
    }
}

// An action answers at once with its id; its progress follows the app.
TEST(WebApi, ActionsAnswerAtOnceAndTellTheirProgress) {
    Served served;
    const auto login = served.LogIn();
    const Reply asked = served.Ask("POST", "/api/entrees/pc2/off", served.Acting(login));
    ASSERT_EQ(asked.status, 202);
    const Json progress = Body(asked);
    EXPECT_EQ(progress["etat"], "en_attente");
    EXPECT_EQ(progress["action"], "off");
    const std::string where = asked.Header("location");
    EXPECT_EQ(where, "/api/actions/" + std::to_string(progress["id"].get<int>()));

    const auto taken = served.board.TakeRequests(served.clock.Seconds());
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].entry, "pc2");
    EXPECT_EQ(taken[0].action, korvane::WebAction::Shutdown);
    EXPECT_EQ(taken[0].requester, "administrateur");
    EXPECT_EQ(Body(served.Ask("GET", where, {{"Cookie", login.cookie}}))["etat"], "en_cours");
    served.board.Finish(taken[0].id, korvane::ActionState::Refused,
                        "Arrêt de « pc2 » refusé : « pc2 » ne doit jamais être éteint.", 1);
    const Json refused = Body(served.Ask("GET", where, {{"Cookie", login.cookie}}));
    EXPECT_EQ(refused["etat"], "refusee");
    EXPECT_EQ(refused["message"], "Arrêt de « pc2 » refusé : « pc2 » ne doit jamais être éteint.");

    for (const char* target :
         {"/api/actions/999", "/api/actions/x", "/api/actions/", "/api/actions/1x"}) {
        EXPECT_EQ(served.Ask("GET", target, {{"Cookie", login.cookie}}).status, 404) << target;
    }
    for (const char* target :
         {"/api/entrees/pc1/eteindre", "/api/entrees/pc1", "/api/entrees/PC1/on",
          "/api/entrees/pc1%2F..%2Fliste.ip/on", "/api/entrees/%00/on"}) {
        EXPECT_EQ(served.Ask("POST", target, served.Acting(login)).status, 404) << target;
    }
    EXPECT_TRUE(served.board.TakeRequests(0).empty());
}

TEST(WebApi, IncidentsSinceAMomentDevicesAndTokensAsListed) {
    Served served;
    const auto login = served.LogIn();
    const std::map<std::string, std::string> cookie{{"Cookie", login.cookie}};
    EXPECT_EQ(Body(served.Ask("GET", "/api/incidents", cookie))["incidents"].size(), 2u);
    const Json since =
        Body(served.Ask("GET", "/api/incidents?depuis=2027-01-15T07%3A40%3A00Z", cookie));
    ASSERT_EQ(since["incidents"].size(), 1u);
    EXPECT_EQ(since["incidents"][0], Json({{"heure", "2027-01-15T07:43:20Z"},
                                           {"type", "arret"},
                                           {"hote", "pc1"},
                                           {"verdict", "ne s'est pas arrêté"},
                                           {"raison", "raison inconnue"}}));
    EXPECT_EQ(served.Ask("GET", "/api/incidents?depuis=hier", cookie).status, 400);
    const Json devices = Body(served.Ask("GET", "/api/appareils", cookie));
    EXPECT_EQ(devices["appareils"][0]["marque"], "nouveau");
    EXPECT_EQ(devices["appareils"][0]["deplace_le"], nullptr);
    for (const char* days : {"0", "91", "x", "7x", ""}) {
        EXPECT_EQ(served.Ask("GET", std::string("/api/energie?jours=") + days, cookie).status, 400)
            << days;
    }
    EXPECT_EQ(served.Ask("GET", "/api/energie?format=xml", cookie).status, 400);
}

// The page's texts are the app's: every key its script and its HTML look up
// is one the API gives, and the page stays small.
TEST(WebApi, ThePageLooksUpOnlyTextsTheAppGives) {
    const auto texts = korvane::text::WebTexts();
    std::size_t size = 0, keys = 0;
    for (const char* path : {"/", "/app.js", "/style.css"}) {
        const auto* file = korvane::web::FindPageFile(path);
        ASSERT_NE(file, nullptr) << path;
        size += file->bytes.size();
        const std::string text(file->bytes);
        for (const std::string opening : {"t('", "data-texte=\""}) {
            for (auto at = text.find(opening); at != std::string::npos;
                 at = text.find(opening, at + 1)) {
                // t('key') alone, not the end of another name (element('div')).
                if (at > 0 && (std::isalnum(static_cast<unsigned char>(text[at - 1])) ||
                               text[at - 1] == '_')) {
                    continue;
                }
                const auto start = at + opening.size();
                const std::string key =
                    text.substr(start, text.find_first_of("'\"", start) - start);
                EXPECT_TRUE(texts.count(key)) << path << " : " << key;
                ++keys;
            }
        }
    }
    EXPECT_GT(keys, 40u);
    EXPECT_LT(size, 60u * 1024);
}

// A body the page would never send is refused with its reason, not a fault.
TEST(WebApi, MalformedTokenRequestsAreRefused) {
    Served served;
    const auto login = served.LogIn();
    auto headers = served.Acting(login);
    headers["Content-Type"] = "application/json";
    for (const char* body :
         {R"({"nom":"hub","role":5})", R"({"nom":5})", R"({"nom":"hub","entrees":[1]})",
          R"({"nom":"hub","role":"chef"})", R"({"nom":""})", "pas du JSON", "[]",
          R"({"nom":"hub","entrees":["../liste.ip"]})"}) {
        const Reply reply = served.Ask("POST", "/api/jetons", headers, body);
        EXPECT_EQ(reply.status, 400) << body;
        EXPECT_TRUE(Body(reply).contains("erreur")) << body;
    }
    EXPECT_EQ(Body(served.Ask("GET", "/api/jetons", {{"Cookie", login.cookie}}))["jetons"].size(),
              0u);
}

TEST(WebApi, EnergyReportComesFromTheJournalAsJsonAndCsv) {
    const webtest::TempFolder folder;
    const std::string& dir = folder.Path();
    // pc1 on for the two hours before the clock's moment, pc2 never.
    const std::int64_t now = 1'800'000'000;
    toolkit::SaveLines(dir + korvane::kHistoryFile,
                       {korvane::HistoryLine({now - 7200, "pc1", '1'}),
                        korvane::HistoryLine({now - 7200, "pc2", '0'})});
    toolkit::SaveLines(dir + korvane::kPowerDrawFile, {"pc1=100"});
    Served served;
    korvane::BoardSnapshot snapshot = webtest::SampleSnapshot();
    snapshot.programDir = dir;
    served.board.Publish(snapshot);
    const auto login = served.LogIn();
    const Json report = Body(served.Ask("GET", "/api/energie?jours=2", {{"Cookie", login.cookie}}));
    ASSERT_EQ(report["lignes"].size(), 3u);
    EXPECT_EQ(report["dates"].size(), 2u);
    EXPECT_EQ(report["lignes"][0]["nom"], "pc1");
    EXPECT_EQ(report["lignes"][0]["puissance_w"], 100);
    EXPECT_NEAR(report["lignes"][0]["total_heures"].get<double>(), 2.0, 0.01);
    EXPECT_NEAR(report["lignes"][0]["kwh"].get<double>(), 0.2, 0.001);
    EXPECT_NEAR(report["lignes"][1]["total_heures"].get<double>(), 0.0, 0.001);
    const Reply csv =
        served.Ask("GET", "/api/energie?jours=2&format=csv", {{"Cookie", login.cookie}});
    EXPECT_EQ(csv.Header("content-type"), "text/csv; charset=utf-8");
    const toolkit::TextList lines = toolkit::SplitLines(csv.body);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("\"Ordinateur\";\"Puissance (W)\";", 0), 0u) << lines[0];
    // Name, draw, two days (split as the local time zone has it), total, energy.
    EXPECT_EQ(lines[1].rfind("\"pc1\";100;", 0), 0u) << lines[1];
    EXPECT_EQ(lines[1].substr(lines[1].size() - 11), ";2,00;0,200") << lines[1];
}

}  // namespace
