// The board between the app and the server, and the pieces of the API's
// security that need no socket: the parsing of what a request names, the
// sessions' expiry, the log-in slow-down.
#include <gtest/gtest.h>

#include <thread>

#include "korvane/app/webboard.h"
#include "korvane/web/sessions.h"
#include "korvane/web/throttle.h"
#include "korvane/web/websecurity.h"
#include "web_support.h"

namespace {

using namespace korvane;
using namespace korvane::web;

TEST(WebBoard, ActionsQueueBoundedAndTheirProgressIsKeptByIdForALimitedNumber) {
    WebBoard board(2, 3);
    int wakes = 0;
    board.SetWaker([&wakes] { ++wakes; });
    const auto first = board.Request(WebAction::WakeUp, "pc1", "hub", 10);
    const auto second = board.Request(WebAction::Shutdown, "pc2", "administrateur", 11);
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(board.Request(WebAction::Restart, "pc1", "hub", 12));  // queue full
    EXPECT_EQ(wakes, 2);
    EXPECT_EQ(board.Progress(*first)->state, ActionState::Queued);

    const auto taken = board.TakeRequests(20);
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].entry, "pc1");
    EXPECT_EQ(taken[1].action, WebAction::Shutdown);
    EXPECT_EQ(taken[1].requester, "administrateur");
    EXPECT_TRUE(board.TakeRequests(21).empty());
    EXPECT_EQ(board.Progress(*second)->state, ActionState::Running);

    board.Finish(*second, ActionState::Refused, "Arrêt de « pc2 » refusé : protégé", 30);
    board.FollowUp(*first, "pc1 s'est mis en marche", 330);
    EXPECT_EQ(board.Progress(*second)->message, "Arrêt de « pc2 » refusé : protégé");
    EXPECT_EQ(board.Progress(*first)->followUp, "pc1 s'est mis en marche");
    EXPECT_EQ(board.Progress(*first)->updated, 330);

    // The queue has room again; the oldest progress goes past three.
    const auto third = board.Request(WebAction::TestAccess, "pc1", "hub", 40);
    const auto fourth = board.Request(WebAction::WakeUp, "pc1", "hub", 41);
    ASSERT_TRUE(third && fourth);
    EXPECT_FALSE(board.Progress(*first));
    EXPECT_TRUE(board.Progress(*fourth));
    board.Finish(*first, ActionState::Done, "oubliée", 50);  // ignored, not resurrected
    EXPECT_FALSE(board.Progress(*first));
}

TEST(WebBoard, SnapshotsAreImmutableVersionedAndBounded) {
    WebBoard board;
    const auto empty = board.Snapshot();
    EXPECT_TRUE(empty->entries.empty());
    BoardSnapshot snapshot = webtest::SampleSnapshot();
    snapshot.incidents.resize(kBoardIncidents + 5);
    snapshot.incidents.back().host = "dernier";
    board.Publish(snapshot);
    const auto first = board.Snapshot();
    board.Publish(webtest::SampleSnapshot());
    EXPECT_EQ(first->version + 1, board.Snapshot()->version);
    EXPECT_EQ(first->incidents.size(), kBoardIncidents);
    EXPECT_EQ(first->incidents.back().host, "dernier");  // the newest are kept
    EXPECT_TRUE(first->Find("pc1"));
    EXPECT_FALSE(first->Find("PC1"));
    EXPECT_FALSE(first->Find("pc"));

    // Readers on other threads while the app publishes: each sees a whole snapshot.
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop) {
            const auto seen = board.Snapshot();
            if (seen->entries.size() != 3) ++torn;
        }
    });
    for (int i = 0; i < 2000; ++i) board.Publish(webtest::SampleSnapshot());
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

TEST(WebSecurity, WhatARequestNamesIsParsedStrictly) {
    const HostRule rule{{"198.18.0.5"}, {"bureau.lan"}};
    struct HostCase {
        const char* header;
        bool allowed;
    } hosts[] = {
        {"localhost", true},       {"LOCALHOST:8765", true},     {"127.0.0.1:1", true},
        {"[::1]:8765", true},      {"198.18.0.5:8765", true},    {"bureau.lan", true},
        {"evil.example", false},   {"evil.example:8765", false}, {"", false},
        {"localhost:", false},     {"localhost:99999", false},   {"localhost:80x", false},
        {"user@localhost", false}, {"localhost/x", false},       {"198.18.0.50", false},
        {"[::1", false},           {"bureau.lan.evil", false},   {"localhost evil", false},
    };
    for (const HostCase& c : hosts) EXPECT_EQ(HostAllowed(rule, c.header), c.allowed) << c.header;

    EXPECT_TRUE(SameOrigin("http://localhost:8765", "localhost:8765", false));
    EXPECT_TRUE(SameOrigin("HTTP://LocalHost:8765", "localhost:8765", false));
    EXPECT_FALSE(SameOrigin("https://localhost:8765", "localhost:8765", false));
    EXPECT_FALSE(SameOrigin("http://localhost:8765", "localhost:8765", true));
    EXPECT_FALSE(SameOrigin("http://localhost", "localhost:8765", false));
    EXPECT_FALSE(SameOrigin("null", "localhost:8765", false));
    EXPECT_FALSE(SameOrigin("http://evil.example", "evil.example", false) &&
                 HostAllowed(rule, "evil.example"));

    struct Segment {
        const char* encoded;
        std::optional<std::string> decoded;
    } segments[] = {
        {"pc1", "pc1"},
        {"salle-%C3%A9t%C3%A9", "salle-été"},
        {"a%2Fb", std::nullopt},
        {"%00", std::nullopt},
        {"%", std::nullopt},
        {"%4", std::nullopt},
        {"%zz", std::nullopt},
        {"a+b", "a+b"},
        {"..", ".."},
    };
    for (const Segment& s : segments) EXPECT_EQ(DecodeSegment(s.encoded), s.decoded) << s.encoded;
    EXPECT_EQ(QueryValue("jours=30&format=csv", "format"), "csv");
    EXPECT_EQ(QueryValue("depuis=2026-12-08T07%3A30%3A12Z", "depuis"), "2026-12-08T07:30:12Z");
    EXPECT_EQ(QueryValue("formatx=csv", "format"), std::nullopt);
    EXPECT_EQ(CookieValue("a=1; korvane_session=abc ;b=2", kSessionCookie), "abc");
    EXPECT_EQ(CookieValue("xkorvane_session=abc", kSessionCookie), std::nullopt);
    EXPECT_EQ(BearerToken("Bearer krv_x"), "krv_x");
    EXPECT_EQ(BearerToken("bearer   krv_x "), "krv_x");
    EXPECT_EQ(BearerToken("Basic a2V5"), std::nullopt);
    EXPECT_EQ(BearerToken("Bearer "), std::nullopt);
}

TEST(WebSessions, ExpireWhenIdleOrOldAndAreBounded) {
    SessionStore store({/*idle*/ 100, /*absolute*/ 1000, /*most*/ 3});
    const std::string id = store.Open({}, 0);
    EXPECT_EQ(id.size(), 64u);
    const auto used = store.Use(id, 99);
    ASSERT_TRUE(used);
    EXPECT_EQ(used->csrf.size(), 64u);
    EXPECT_TRUE(store.Use(id, 198));   // idle time counts from the last use
    EXPECT_FALSE(store.Use(id, 298));  // idle for 100 s
    const std::string kept = store.Open({}, 0);
    for (std::int64_t now = 90; now < 1000; now += 90) EXPECT_TRUE(store.Use(kept, now)) << now;
    EXPECT_FALSE(store.Use(kept, 1000));  // however used, never past its absolute expiry
    EXPECT_FALSE(store.Use("", 0));
    EXPECT_FALSE(store.Use(std::string(64, '0'), 0));

    Session byToken;
    byToken.tokenId = "0a1b2c3d";
    const std::string a = store.Open(byToken, 2000), b = store.Open({}, 2001),
                      c = store.Open({}, 2002);
    store.Use(a, 2003);
    const std::string d = store.Open({}, 2004);  // b, used longest ago, goes
    EXPECT_EQ(store.Count(), 3u);
    EXPECT_FALSE(store.Use(b, 2005));
    EXPECT_TRUE(store.Use(c, 2005) && store.Use(d, 2005));
    store.CloseToken("0a1b2c3d");
    EXPECT_FALSE(store.Use(a, 2006));
}

// Ten wrong passwords: the first five at once, then a growing wait, which
// leaks away: the owner is slowed, never locked out.
TEST(WebThrottle, FailuresSlowAClientDownThenDecay) {
    LoginThrottle throttle({5, 60, 2});
    std::int64_t now = 0;
    int waited = 0;
    for (int failure = 0; failure < 10; ++failure) {
        if (const auto wait = throttle.Wait("198.18.0.20", now); wait > 0) {
            EXPECT_GE(failure, 5);
            ++waited;
            now += wait;
        }
        EXPECT_EQ(throttle.Wait("198.18.0.20", now), 0) << failure;
        throttle.Failed("198.18.0.20", now);
    }
    EXPECT_EQ(waited, 5);
    EXPECT_GE(throttle.Wait("198.18.0.20", now), 60);
    EXPECT_EQ(throttle.Wait("198.18.0.21", now), 0);           // another client is not slowed
    EXPECT_EQ(throttle.Wait("198.18.0.20", now + 6 * 60), 0);  // leaked back below five
    // Past the most clients, the one with the lowest score goes, not the worst.
    throttle.Failed("198.18.0.21", now);
    throttle.Failed("198.18.0.22", now);
    EXPECT_GT(throttle.Wait("198.18.0.20", now), 0);
}

}  // namespace
