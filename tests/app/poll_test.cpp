// The polling, the scans and the gateway's probe, with real detached scripts.
// hostping is a stand-in that answers from a file, so no packet is sent; the
// lab tests run the real one.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "app_folder.h"

namespace {

namespace fs = std::filesystem;
using app_testing::AppFolder;
using korvane::Light;
using toolkit::TextList;

// The program folder read-only for this process (it has mounts of its own),
// its scratch folder writable; the current folder is entered again, so that
// bare names meet the read-only mount too.
class ReadOnlyProgramFolder {
  public:
    explicit ReadOnlyProgramFolder(const AppFolder& folder) : dir_(folder.Dir()) {
        const char* scratch = folder.Scratch().c_str();
        const bool mounted =
            app_testing::HasPrivateMounts() &&
            mount(scratch, scratch, nullptr, MS_BIND, nullptr) == 0 &&
            mount(dir_.c_str(), dir_.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0 &&
            mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
        EXPECT_TRUE(mounted) << "mount: " << std::strerror(errno);
        EXPECT_EQ(chdir(dir_.c_str()), 0);
    }
    ~ReadOnlyProgramFolder() {
        umount2(dir_.c_str(), MNT_DETACH);
        umount2((dir_ + "scratch").c_str(), MNT_DETACH);
        EXPECT_EQ(chdir(dir_.c_str()), 0);
    }

  private:
    std::string dir_;
};

class PollTest : public testing::Test {
  protected:
    void SetUp() override {
        folder.InstallHostpingStandIn();
        folder.Write("localGM", {"pc1", "pc2", "pc3"});
        folder.Write("liste.ip", {"pc1 10.0.0.5", "pc3 10.0.0.7"});
    }
    // Starts, and collects the start's own poll.
    korvane::KorvaneApp& Start() {
        folder.Start();
        EXPECT_TRUE(folder.Settle());
        return folder.App();
    }
    std::vector<bool> Up() const { return folder.View().Of(&korvane::MapEntry::up); }
    Light PollLight() const { return folder.View().pollLights.back(); }
    ino_t Inode(const std::string& name) const {
        struct stat status {};
        EXPECT_EQ(stat((folder / name).c_str(), &status), 0) << name;
        return status.st_ino;
    }

    AppFolder folder;
};

// The result exists only when hostping completed: an empty one means that
// nobody answered; a missing one changes nothing.
TEST_F(PollTest, EachTickPollsTheInventoryAndTheMapFollowsTheAnswers) {
    folder.Write("answers", {"10.0.0.5=1", "pc2=1"});
    korvane::KorvaneApp& app = Start();
    // Without a poll list yet, the first poll reads the inventory itself.
    EXPECT_EQ(folder.Read("lists"), TextList{"localGM"});
    EXPECT_EQ(folder.Read("etats"), (TextList{"10.0.0.5=1", "pc2=1"}));
    EXPECT_EQ(Up(), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(folder.View().pollLights, (std::vector<Light>{Light::Orange, Light::Grey}));
    EXPECT_EQ(folder.Read("log"), TextList{"timer called for 0"});
    const ino_t log = Inode("log");

    folder.Write("answers", {"10.0.0.7=1"});
    app.TimerRedrawTimer();
    EXPECT_EQ(folder.Read("localIP"), (TextList{"10.0.0.5", "pc2", "10.0.0.7"}));
    EXPECT_EQ(PollLight(), Light::Orange);
    ASSERT_TRUE(folder.Settle());
    EXPECT_EQ(folder.Read("lists"), (TextList{"localGM", "localIP"}));
    EXPECT_EQ(Up(), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(PollLight(), Light::Grey);
    // The trace is rewritten in place, not replaced by a temporary file.
    EXPECT_EQ(Inode("log"), log);
    EXPECT_EQ(folder.Read("log"), TextList{"timer called for 1"});
    // A collected slot leaves neither its script nor its result behind.
    for (const char* name : {"ping1.txt", "ping1.sh", "ping1.err", "1.mark"}) {
        EXPECT_EQ(fs::exists(folder.Slots() + name), name == std::string("1.mark")) << name;
    }
    folder.Write("answers", {});
    folder.Poll();
    EXPECT_EQ(folder.Read("etats"), TextList{});
    EXPECT_EQ(Up(), (std::vector<bool>{false, false, false}));

    // hostping that cannot open an ICMP socket writes no result and says why:
    // the status bar tells it, once, and the map stays as it was.
    folder.Write("answers", {"pc1=1"});
    folder.Poll();
    const std::size_t maps = folder.View().maps.size();
    const std::string told =
        "Relevé des ordinateurs impossible : hostping : aucune socket ICMP "
        "ne peut être ouverte ; vérifiez net.ipv4.ping_group_range";
    folder.InstallScript("hostping", "echo '" + told.substr(told.find("hostping")) +
                                         "' >&2; echo 'suite' >&2; exit 3");
    folder.Poll();
    folder.Poll();
    EXPECT_EQ(folder.View().statuses, std::vector<std::string>{told});
    EXPECT_EQ(folder.View().console.back(), told);
    EXPECT_EQ(folder.Read("etats"), TextList{"pc1=1"});
    EXPECT_EQ(folder.View().maps.size(), maps);
    EXPECT_EQ(PollLight(), Light::Orange);
    EXPECT_FALSE(fs::exists(folder.Slots() + "ping4.err") ||
                 fs::exists(folder.Slots() + "ping5.err"));

    // The poll list is built before the tick reads the discovery lists again.
    folder.Write("liste.ip", {"pc2 10.0.0.6"});
    app.TimerRedrawTimer();
    EXPECT_EQ(folder.Read("localIP"), (TextList{"10.0.0.5", "pc2", "10.0.0.7"}));
    EXPECT_EQ(app.Vars().IpList, TextList{"pc2 10.0.0.6"});
}

// With the program folder read-only, localIP and etats cannot be written;
// with liste.ip and liste.mac gone, they cannot be read again. Each cause is
// told once, not at every tick, and its message goes when the cause does.
TEST_F(PollTest, WriteAndReloadFailuresAreToldOncePerCause) {
    folder.Write("answers", {"pc1=1"});
    folder.Write("liste.mac", {"pc1 02-00-00-00-00-05"});
    korvane::KorvaneApp& app = Start();
    {
        ReadOnlyProgramFolder readOnly(folder);
        for (int tick = 0; tick < 3; ++tick) folder.Poll();
    }
    const std::vector<std::string>& shown = folder.View().statuses;
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[0].starts_with("Liste du relevé non enregistrée")) << shown[0];
    EXPECT_NE(shown[0].find("localIP"), std::string::npos) << shown[0];
    EXPECT_TRUE(shown[1].starts_with("État des ordinateurs non enregistré")) << shown[1];
    EXPECT_NE(shown[1].find("lecture seule"), std::string::npos) << shown[1];
    folder.Poll();
    EXPECT_EQ(folder.View().status, "");

    fs::remove(folder / "liste.ip");
    fs::remove(folder / "liste.mac");
    for (int tick = 0; tick < 3; ++tick) folder.Poll();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_NE(shown[2].find("« liste.ip »"), std::string::npos) << shown[2];
    EXPECT_NE(shown[3].find("« liste.mac »"), std::string::npos) << shown[3];
    EXPECT_EQ(app.Vars().IpList, (TextList{"pc1 10.0.0.5", "pc3 10.0.0.7"}));
}

// Requests whose handler never lets go keep their timers; the 257th request
// takes slot 0 again, whose old timer goes, so no more than 256 request
// timers ever exist. A name that could run as a command takes no slot.
TEST_F(PollTest, SlotsWrapAndAReusedSlotFreesItsOldTimer) {
    korvane::KorvaneApp& app = Start();
    fs::remove(folder / "hostping");  // the checks stay cheap; none is collected
    bool called = false;
    app.ExecPING_host("pc2;touch pwned", [&](int) { called = true; });
    EXPECT_EQ(folder.View().console.back(),
              "Vérification de pc2;touch pwned non lancée : nom d'hôte refusé.");
    EXPECT_EQ(app.Vars().PingSlot, 1);
    const std::size_t routine = app.TimerCount();
    for (int request = 1; request < 256; ++request) app.ExecPING_host("pc1", [](int) {});
    EXPECT_EQ(app.Vars().PingSlot, 0);
    EXPECT_EQ(app.TimerCount(), routine + 255);
    app.ExecPING_host("pc1", [](int) {});  // slot 0, the start's poll collected long ago
    app.ExecPING_host("pc1", [](int) {});  // slot 1 again: its old timer goes
    EXPECT_EQ(app.Vars().PingSlot, 2);
    EXPECT_EQ(app.TimerCount(), routine + 256);
    EXPECT_FALSE(fs::exists(folder.Slots() + "256.mark"));
    EXPECT_TRUE(fs::exists(folder.Slots() + "0.mark"));
    EXPECT_FALSE(called);
}

// The scheduler runs a poll every 10 s. netsweep starts at the start, then
// on the 60-second ticks 1, 10, 19... of a counter that wraps after 255; the
// scan light follows its run marker.
TEST_F(PollTest, ScannerStartsOnTicksOneModuloNineAndItsLightFollowsTheRunMarker) {
    folder.InstallScript("netsweep", "echo start >> \"$(dirname \"$0\")/scans\"");
    korvane::KorvaneApp& app = Start();
    const auto starts = [&] { return folder.Lines("scans").size(); };
    ASSERT_TRUE(folder.RunUntil([&] { return starts() == 1; }));
    EXPECT_EQ(folder.View().scanLights, std::vector<Light>{Light::Grey});
    EXPECT_EQ(folder.Scheduler().NextDue(), 10000);
    folder.Pass(120000);  // the scheduler's own minute ticks 0 and 1
    EXPECT_EQ(folder.Read("lists").size(), 1u + 12u);
    EXPECT_TRUE(folder.RunUntil([&] { return starts() == 2; }));
    int ticks = 2;
    const std::pair<int, std::size_t> steps[] = {{10, 2}, {11, 3}, {254, 30}, {256, 30}, {258, 31}};
    for (const auto& [until, expected] : steps) {
        for (; ticks < until; ++ticks) app.Timer1Timer();
        EXPECT_TRUE(folder.RunUntil([&] { return starts() == expected; })) << until;
    }
    folder.RunUntil([] { return false; }, 300);
    EXPECT_EQ(starts(), 31u);

    folder.Write("netsweep.lck", {});
    app.TimerRedrawTimer();
    EXPECT_EQ(folder.View().scanLights.back(), Light::Green);
    fs::remove(folder / "netsweep.lck");
    app.TimerRedrawTimer();
    EXPECT_EQ(folder.View().scanLights.back(), Light::Grey);
}

// The gateway's picture follows its probe, made away from the drawing, and
// its page opens only for a strict dotted address.
TEST(AppGateway, PictureFollowsItsProbeAndItsPageOpensOnlyForADottedAddress) {
    const struct {
        const char* gateway;
        bool up;
        std::vector<std::string> urls;
    } cases[] = {
        {"127.0.0.1", true, {"http://127.0.0.1"}},
        {"10.255.255.1", false, {"http://10.255.255.1"}},  // no route in this namespace
        {"evil.example/x", false, {}},
    };
    for (const auto& c : cases) {
        AppFolder folder;
        folder.Write("liste.ip", {std::string("box ") + c.gateway});
        folder.SetAdapter(c.gateway);
        korvane::KorvaneApp& app = folder.Start();
        // The probe has answered when its timer has gone (the routine three stay).
        ASSERT_TRUE(folder.RunUntil([&] { return app.TimerCount() == 3; })) << c.gateway;
        const korvane::MapGateway expected{true, "box", c.gateway, c.up};
        EXPECT_EQ(folder.View().Map().gateway, expected) << c.gateway;
        app.routeurClick();
        EXPECT_EQ(folder.View().urls, c.urls) << c.gateway;
    }
}

}  // namespace
