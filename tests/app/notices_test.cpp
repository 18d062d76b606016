// Telling the user: the desktop notifications of incidents, of planned
// actions that failed and of devices new on the network, as the preferences
// choose them; the incidents of a run without window told at the next
// start; a journal that cannot be written told once.
#include <gtest/gtest.h>

#include <filesystem>

#include "app_folder.h"
#include "devices.h"
#include "korvane/core/power.h"

namespace {

using app_testing::AppFolder;
using app_testing::LocalTime;
using korvane::NoticeKind;
using toolkit::TextList;

class NoticesTest : public testing::Test {
  protected:
    void SetUp() override {
        // The follow-up's check finds every computer up: shutting "ici" down is
        // an incident. (This namespace's only computer that answers is this
        // one, at addresses no command may go to.)
        folder.InstallScript("hostping",
                             "if [ \"$1\" = --essais ]; then echo \"$4=up\" > \"$6\"; "
                             "else : > \"$2\"; fi");
        folder.Write("localGM", {"bureau", "pc1"});
        folder.Write("liste.ip", {"ici 10.0.0.7", "bureau 10.0.0.9", "pc1 10.0.0.5"});
        folder.Write("bureau", {"ici"});
        folder.Write("pc1", {"pc1"});
        folder.InstallOnPath("net", "exit 0");
        testing_support::WriteBytes(folder / "shutdown.auth", "username = root\npassword = x\n");
        std::filesystem::permissions(folder / "shutdown.auth", std::filesystem::perms::owner_read);
    }
    // "OFF" on the group, and its follow-up five minutes later.
    void ShutDownAndFollowUp(korvane::KorvaneApp& app) {
        ASSERT_TRUE(app.Shutdown("bureau"));
        folder.Pass(korvane::kFollowUpDelay);
        ASSERT_TRUE(folder.Settle(10000));
    }
    const std::vector<korvane::Notice>& Notices() const { return folder.View().notices; }

    AppFolder folder;
};

// Each incident is a notification whose click opens its report; turned off,
// none; with no notification service the console says so once.
TEST_F(NoticesTest, IncidentsAreNotifiedAsThePreferencesSay) {
    korvane::KorvaneApp& app = folder.Start();
    ShutDownAndFollowUp(app);
    ASSERT_EQ(app.Vars().ShutdownIncidents.size(), 1u);
    ASSERT_EQ(Notices().size(), 1u);
    EXPECT_EQ(Notices()[0].kind, NoticeKind::Incident);
    EXPECT_EQ(Notices()[0].report, korvane::FollowKind::Shutdown);
    EXPECT_EQ(Notices()[0].title + " / " + Notices()[0].body,
              "Incident d'arrêt / « ici » ne s'est pas arrêté");

    folder.Write("notifications.ini", {"incidents=0"});
    ShutDownAndFollowUp(app);
    EXPECT_EQ(app.Vars().ShutdownIncidents.size(), 2u);
    EXPECT_EQ(Notices().size(), 1u);

    folder.Write("notifications.ini", {});
    folder.View().notifierAnswers = false;
    for (int round = 0; round < 2; ++round) ShutDownAndFollowUp(app);
    EXPECT_EQ(app.Vars().ShutdownIncidents.size(), 4u);
    EXPECT_EQ(folder.View().ConsoleLines("Notifications indisponibles"), 1);
}

// A planned action that is refused (here a protected computer) is a
// notification; the same refusal of a click is not, the user has seen it.
TEST_F(NoticesTest, APlannedActionThatFailsIsNotified) {
    folder.Write("liste.protegees", {"pc1"});
    folder.Write("liste.planning", {"pc1;0:00;22:00"});
    folder.Clock().Set(LocalTime(2031, 5, 20, 21, 59));
    korvane::KorvaneApp& app = folder.Start();
    EXPECT_FALSE(app.Shutdown("pc1"));
    EXPECT_TRUE(Notices().empty());
    folder.Clock().Set(LocalTime(2031, 5, 20, 22, 0));
    app.TimerPlanTimer();
    ASSERT_EQ(Notices().size(), 1u);
    EXPECT_EQ(Notices()[0].kind, NoticeKind::PlanFailure);
    EXPECT_EQ(Notices()[0].title, "Action planifiée en échec");
    EXPECT_EQ(Notices()[0].body, folder.View().warnings.back());
    EXPECT_NE(Notices()[0].body.find("ne jamais éteindre"), std::string::npos);
}

// The incidents of "--planificateur" wait in the folder; the next window's
// start tells how many and puts them in their report, once.
TEST_F(NoticesTest, IncidentsWithoutWindowAreToldAtTheNextStart) {
    ShutDownAndFollowUp(folder.Start({}, true));
    EXPECT_EQ(folder.Read("incidents.non-vus").size(), 1u);
    EXPECT_EQ(folder.View().status, "");
    folder.Exit();
    korvane::KorvaneApp& app = folder.Start();
    EXPECT_EQ(folder.View().status, "1 incident depuis le dernier démarrage");
    EXPECT_EQ(app.Vars().ShutdownIncidents, folder.Read("incidents.vus"));
    EXPECT_TRUE(app.Vars().WolIncidents.empty());
    EXPECT_FALSE(folder.Exists("incidents.non-vus"));
    folder.Exit();
    folder.Start();
    EXPECT_EQ(folder.View().status, "");
}

// After each sweep, the devices netsweep saw for the first time, when the
// preferences ask for them (not by default): what was found before the
// start is no news, and a sweep is told once.
TEST_F(NoticesTest, NewDevicesOfEachSweepAreNotifiedWhenAsked) {
    toolkit::DeviceRecord record;
    const auto sweep = [&](std::int64_t time, const char* mac, const char* address,
                           const char* name) {
        record.previousSweep = record.lastSweep;
        record.lastSweep = time;
        toolkit::Device device;
        device.mac = mac;
        device.address = address;
        device.name = name;
        device.firstSeen = device.lastSeen = time;
        record.devices.push_back(device);
        toolkit::SaveLines(folder / toolkit::kDeviceRecordFile, toolkit::DeviceRecordLines(record));
    };
    const std::int64_t t0 = 1'800'000'000;
    sweep(t0, "02-4B-52-00-00-11", "198.18.0.11", "pc-salon");
    sweep(t0 + 540, "02-4B-52-00-00-12", "198.18.0.12", "pc-bureau");
    folder.Write("notifications.ini", {"nouveaux-appareils=1"});
    folder.InstallHostpingStandIn();
    folder.Start();
    folder.Poll();
    EXPECT_TRUE(Notices().empty());
    sweep(t0 + 1080, "02-4B-52-00-00-13", "198.18.0.13", "");
    folder.Poll();
    folder.Poll();
    ASSERT_EQ(Notices().size(), 1u);
    EXPECT_EQ(Notices()[0].kind, NoticeKind::NewDevices);
    EXPECT_EQ(Notices()[0].title + " / " + Notices()[0].body,
              "Nouvel appareil sur le réseau / 198.18.0.13 (02-4B-52-00-00-13)");
    folder.Write("notifications.ini", {});
    sweep(t0 + 1620, "02-4B-52-00-00-14", "198.18.0.14", "tel");
    folder.Poll();
    EXPECT_EQ(Notices().size(), 1u);
}

// A journal that cannot be written is told once, in the status bar and the
// console, from the start on; the polls go on.
TEST_F(NoticesTest, AJournalThatCannotBeWrittenIsToldOnce) {
    std::filesystem::create_directory(folder / "historique.etats");
    folder.InstallHostpingStandIn();
    folder.Write("answers", {"127.0.0.1=1"});
    folder.Start();
    EXPECT_TRUE(folder.View().status.starts_with("Historique des états : "));
    folder.Poll();
    folder.Poll();
    EXPECT_EQ(folder.View().ConsoleLines("Historique des états : "), 1);
    EXPECT_EQ(folder.Read("etats"), TextList{"127.0.0.1=1"});
}

}  // namespace
