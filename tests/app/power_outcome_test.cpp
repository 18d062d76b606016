// PowerCommands alone, as a caller that waits for a command's outcome (the
// web page's requests) uses it: the outcome comes once, at once for a
// refusal, when the script's report is read otherwise, and says what the
// user is told. wolcmd is a stand-in; nothing leaves this namespace.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app_folder.h"
#include "korvane/app/power_commands.h"
#include "korvane/core/protection.h"

namespace {

using app_testing::FakeView;
using app_testing::ProgramDirectory;
using app_testing::TestClock;
using korvane::PowerAction;
using korvane::PowerOutcome;

// The features a power command needs, made as KorvaneApp makes them.
struct PowerFeatures {
    explicit PowerFeatures(FakeView& view) : ctx(view, scheduler, clock) {}
    korvane::SteppedScheduler scheduler;
    TestClock clock;
    korvane::AppContext ctx;
    korvane::Requests requests{ctx};
    korvane::Notifications notifications{ctx};
    korvane::Scans scans{ctx, notifications};
    korvane::AddressHolders holders{ctx, scans};
    korvane::FollowUps followUps{ctx, requests, notifications};
    korvane::PowerCommands power{ctx, requests, holders, scans, followUps, notifications};
};

TEST(PowerOutcome, ComesOnceAndSaysWhatTheUserIsTold) {
    struct Case {
        const char* what;
        PowerAction action;
        const char* entry;
        bool planned;
        const char* wolcmd;  // the stand-in's body
        bool sent;
    };
    const Case cases[] = {
        {"taken", PowerAction::WakeUp, "pc1", false, "exit 0", true},
        {"failed", PowerAction::WakeUp, "pc1", false, "echo 'carte absente' >&2; exit 1", true},
        {"one computer of the group left out", PowerAction::WakeUp, "salle", false, "exit 0", true},
        {"refused, planned", PowerAction::WakeUp, "pc2", true, "exit 0", false},
        {"protected", PowerAction::Shutdown, "pc1", false, "exit 0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramDirectory folder;
        std::filesystem::current_path(folder.Dir());  // as Korvane's start makes it
        folder.Write("pc1", {"pc1"});
        folder.Write("pc2", {"pc2"});
        folder.Write("salle", {"pc1", "pc2"});
        folder.Write(korvane::kProtectedFile, {"pc1"});
        folder.InstallScript("wolcmd", c.wolcmd);
        FakeView view;
        PowerFeatures features(view);
        korvane::KrvVar& krv = features.ctx.krv;
        krv.ManagedList = {"pc1", "pc2", "salle"};
        krv.IpList = {"pc1 10.0.0.5", "pc2 10.0.0.6"};
        krv.MacList = {"PC1 02-4B-52-00-00-05"};  // pc2 has none: it cannot be woken

        std::vector<PowerOutcome> outcomes;
        const bool accepted = features.power.Run(
            c.action, c.entry,
            c.planned ? korvane::CommandOrigin::Plan : korvane::CommandOrigin::Window,
            [&outcomes](const PowerOutcome& outcome) { outcomes.push_back(outcome); });
        EXPECT_EQ(accepted, c.sent);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (outcomes.empty() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            features.scheduler.Advance(100);
        }
        features.scheduler.Advance(1000);  // no second outcome comes later
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(outcomes[0].sent, c.sent);
        if (!c.sent) {
            // A refusal says what the box said, and a planned one is also notified.
            ASSERT_EQ(view.warnings.size(), 1u);
            EXPECT_EQ(outcomes[0].message, view.warnings[0]);
            EXPECT_EQ(view.notices.size(), c.planned ? 1u : 0u);
        } else {
            // Sent: what went wrong, as the status bar shows it; nothing when all went well.
            EXPECT_TRUE(view.warnings.empty());
            EXPECT_EQ(outcomes[0].message, view.status);
            EXPECT_EQ(outcomes[0].message.empty(), std::string(c.what) == "taken");
        }
    }
}

}  // namespace
