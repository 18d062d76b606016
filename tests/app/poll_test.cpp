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

// The program folder made read-only for this process (the test program has a
// mount namespace of its own), its scratch folder left writable. The current
// folder is entered again, so that bare names meet the read-only mount too.
class ReadOnlyProgramFolder {
  public:
    explicit ReadOnlyProgramFolder(const AppFolder& folder)
        : dir_(folder.Dir()), scratch_(folder.Scratch()) {
        if (!app_testing::HasPrivateMounts()) {
            ADD_FAILURE() << "no private mount namespace: the folder stays writable";
            return;
        }
        mounted_ =
            mount(scratch_.c_str(), scratch_.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
            mount(dir_.c_str(), dir_.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0 &&
            mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
        EXPECT_TRUE(mounted_) << "mount: " << std::strerror(errno);
        EXPECT_EQ(chdir(dir_.c_str()), 0);
    }
    ~ReadOnlyProgramFolder() {
        umount2(dir_.c_str(), MNT_DETACH);
        umount2(scratch_.c_str(), MNT_DETACH);
        EXPECT_EQ(chdir(dir_.c_str()), 0);
    }
    ReadOnlyProgramFolder(const ReadOnlyProgramFolder&) = delete;
    ReadOnlyProgramFolder& operator=(const ReadOnlyProgramFolder&) = delete;

  private:
    std::string dir_;
    std::string scratch_;
    bool mounted_ = false;
};

ino_t Inode(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
    return status.st_ino;
}

class PollTest : public testing::Test {
  protected:
    void SetUp() override {
        folder.InstallHostpingStandIn();
        folder.Write("localGM", {"pc1", "pc2", "pc3"});
        folder.Write("liste.ip", {"pc1 10.0.0.5", "pc3 10.0.0.7"});
        folder.Write("krv.ini", {});
    }
    // Starts, and collects the start's own poll.
    korvane::KorvaneApp& Start() {
        folder.Start();
        EXPECT_TRUE(folder.Settle());
        return folder.App();
    }
    std::vector<bool> Up() const {
        std::vector<bool> up;
        for (const auto& entry : folder.View().Map().entries) up.push_back(entry.up);
        return up;
    }
    Light PollLight() const { return folder.View().pollLights.back(); }

    AppFolder folder;
};

// The result exists only when hostping completed: an empty one means that
// nobody answered; a missing one says nothing and changes nothing.
TEST_F(PollTest, EachTickPollsTheInventoryAndTheMapFollowsTheAnswers) {
    folder.Write("answers", {"10.0.0.5=1", "pc2=1"});
    korvane::KorvaneApp& app = Start();
    // Without a poll list yet, the first poll reads the inventory itself.
    EXPECT_EQ(folder.Read("lists"), TextList{"localGM"});
    EXPECT_EQ(folder.Read("etats"), (TextList{"10.0.0.5=1", "pc2=1"}));
    EXPECT_EQ(Up(), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(folder.View().pollLights, (std::vector<Light>{Light::Orange, Light::Grey}));
    EXPECT_EQ(folder.Read("log"), TextList{"timer called for 0"});
    const ino_t log = Inode(folder / "log");

    folder.Write("answers", {"10.0.0.7=1"});
    app.TimerRedrawTimer();
    EXPECT_EQ(folder.Read("localIP"), (TextList{"10.0.0.5", "pc2", "10.0.0.7"}));
    EXPECT_EQ(PollLight(), Light::Orange);
    ASSERT_TRUE(folder.Settle());
    EXPECT_EQ(folder.Read("lists"), (TextList{"localGM", "localIP"}));
    EXPECT_EQ(Up(), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(PollLight(), Light::Grey);
    // The trace is rewritten in place, not replaced by a temporary file.
    EXPECT_EQ(Inode(folder / "log"), log);
    EXPECT_EQ(folder.Read("log"), TextList{"timer called for 1"});
    // A collected slot leaves neither its script nor its result behind.
    for (const char* gone : {"ping1.txt", "ping1.sh", "ping1.err"}) {
        EXPECT_FALSE(fs::exists(folder.Scratch() + gone)) << gone;
    }
    EXPECT_TRUE(fs::exists(folder.Scratch() + "1.mark"));

    folder.Write("answers", {});
    folder.Poll();
    EXPECT_EQ(folder.Read("etats"), TextList{});
    EXPECT_EQ(Up(), (std::vector<bool>{false, false, false}));

    folder.Write("answers", {"pc1=1"});
    folder.Poll();
    const std::size_t maps = folder.View().maps.size();
    fs::remove(folder / "hostping");
    folder.Poll();
    EXPECT_EQ(folder.Read("etats"), TextList{"pc1=1"});
    EXPECT_EQ(folder.View().maps.size(), maps);
    EXPECT_EQ(PollLight(), Light::Orange);
    // The shell's own word is the reason told.
    EXPECT_TRUE(folder.View().Status().starts_with("Relevé des ordinateurs impossible : "));
    EXPECT_NE(folder.View().Status().find("hostping"), std::string::npos);

    // The poll list is built before the tick reads the discovery lists again.
    folder.Write("liste.ip", {"pc2 10.0.0.6"});
    app.TimerRedrawTimer();
    EXPECT_EQ(folder.Read("localIP"), (TextList{"10.0.0.5", "pc2", "10.0.0.7"}));
    EXPECT_EQ(app.Vars().IpList, TextList{"pc2 10.0.0.6"});
}

// hostping that cannot open an ICMP socket writes no result and says why:
// the status bar tells it, once, and the map stays as it was.
TEST_F(PollTest, ProbeThatCannotRunIsToldOnceAndTheMapStays) {
    folder.Write("answers", {"pc1=1"});
    Start();
    const std::string reason =
        "hostping : aucune socket ICMP ne peut être ouverte ; vérifiez net.ipv4.ping_group_range";
    folder.InstallScript("hostping", "echo '" + reason + "' >&2; echo 'suite' >&2; exit 3");
    folder.Poll();
    folder.Poll();
    EXPECT_EQ(folder.View().StatusesShown(),
              std::vector<std::string>{"Relevé des ordinateurs impossible : " + reason});
    EXPECT_EQ(folder.View().console.back(), "Relevé des ordinateurs impossible : " + reason);
    EXPECT_EQ(folder.Read("etats"), TextList{"pc1=1"});
    EXPECT_TRUE(folder.View().Up(0));
    EXPECT_EQ(PollLight(), Light::Orange);
    EXPECT_FALSE(fs::exists(folder.Scratch() + "ping1.err"));
    EXPECT_FALSE(fs::exists(folder.Scratch() + "ping2.err"));
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
    std::vector<std::string> shown = folder.View().StatusesShown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[0].starts_with("Liste du relevé non enregistrée")) << shown[0];
    EXPECT_NE(shown[0].find("localIP"), std::string::npos) << shown[0];
    EXPECT_TRUE(shown[1].starts_with("État des ordinateurs non enregistré")) << shown[1];
    EXPECT_NE(shown[1].find("lecture seule"), std::string::npos) << shown[1];
    folder.Poll();
    EXPECT_EQ(folder.View().Status(), "");

    fs::remove(folder / "liste.ip");
    fs::remove(folder / "liste.mac");
    for (int tick = 0; tick < 3; ++tick) folder.Poll();
    shown = folder.View().StatusesShown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_NE(shown[2].find("« liste.ip »"), std::string::npos) << shown[2];
    EXPECT_NE(shown[3].find("« liste.mac »"), std::string::npos) << shown[3];
    EXPECT_EQ(app.Vars().IpList, (TextList{"pc1 10.0.0.5", "pc3 10.0.0.7"}));
}

// Requests whose handler never lets go keep their timers; the 257th request
// takes slot 0 again and the slot's old timer goes, so no more than 256
// request timers ever exist.
TEST_F(PollTest, TheSlotCounterWrapsAndAReusedSlotFreesItsOldTimer) {
    korvane::KorvaneApp& app = Start();
    fs::remove(folder / "hostping");  // the checks stay cheap; none is collected
    const std::size_t routine = app.TimerCount();
    const auto ignore = [](int) {};
    for (int request = 1; request < 256; ++request) app.ExecPING_host("pc1", ignore);
    EXPECT_EQ(app.Vars().PingSlot, 0);
    EXPECT_EQ(app.TimerCount(), routine + 255);
    app.ExecPING_host("pc1", ignore);  // slot 0, the start's poll collected long ago
    EXPECT_EQ(app.Vars().PingSlot, 1);
    EXPECT_EQ(app.TimerCount(), routine + 256);
    app.ExecPING_host("pc1", ignore);  // slot 1 again: its old timer goes
    EXPECT_EQ(app.TimerCount(), routine + 256);
    EXPECT_FALSE(fs::exists(folder.Scratch() + "256.mark"));
    EXPECT_TRUE(fs::exists(folder.Scratch() + "0.mark"));
}

// A name that could run as a command never reaches a check script.
TEST_F(PollTest, HostileHostIsNeverPutIntoACheckScript) {
    korvane::KorvaneApp& app = Start();
    const auto slot = app.Vars().PingSlot;
    bool called = false;
    app.ExecPING_host("pc2;touch pwned", [&](int) { called = true; });
    EXPECT_EQ(app.Vars().PingSlot, slot);
    EXPECT_FALSE(app.PendingRequests());
    EXPECT_FALSE(fs::exists(folder.Scratch() + "ping" + std::to_string(slot) + ".sh"));
    EXPECT_EQ(folder.View().console.back(),
              "Vérification de pc2;touch pwned non lancée : nom d'hôte refusé.");
    folder.Scheduler().Advance(1000);
    EXPECT_FALSE(called);
}

// netsweep starts at the start, then on the 60-second ticks 1, 10, 19...
// of a counter that wraps after 255; the scan light follows its run marker.
TEST_F(PollTest, ScannerStartsOnTicksOneModuloNineAndItsLightFollowsTheRunMarker) {
    folder.InstallScript("netsweep", "echo start >> \"$(dirname \"$0\")/scans\"");
    korvane::KorvaneApp& app = Start();
    const auto starts = [&] { return folder.Lines("scans").size(); };
    ASSERT_TRUE(folder.RunUntil([&] { return starts() == 1; }));
    EXPECT_EQ(folder.View().scanLights, std::vector<Light>{Light::Grey});
    // The scheduler's own minute ticks: tick 0, then tick 1 starts a scan.
    folder.Pass(120000);
    EXPECT_TRUE(folder.RunUntil([&] { return starts() == 2; }));
    const struct {
        int ticks;  // the tick counter after the calls
        std::size_t starts;
    } steps[] = {{10, 2}, {11, 3}, {254, 30}, {256, 30}, {258, 31}};
    int ticks = 2;
    for (const auto& step : steps) {
        for (; ticks < step.ticks; ++ticks) app.Timer1Timer();
        EXPECT_TRUE(folder.RunUntil([&] { return starts() == step.starts; })) << step.ticks;
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
        // The probe has answered when its timer has gone.
        const std::size_t routine = 3;
        ASSERT_TRUE(folder.RunUntil([&] { return app.TimerCount() == routine; })) << c.gateway;
        const korvane::MapGateway& gateway = folder.View().Map().gateway;
        EXPECT_TRUE(gateway.known);
        EXPECT_EQ(gateway.name, "box");
        EXPECT_EQ(gateway.address, c.gateway);
        EXPECT_EQ(gateway.up, c.up) << c.gateway;
        app.routeurClick();
        EXPECT_EQ(folder.View().urls, c.urls) << c.gateway;
    }
}

}  // namespace
