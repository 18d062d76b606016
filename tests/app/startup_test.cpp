// Korvane's start and exit in a program folder of its own, its routine
// timers, and Korvane with no window at all ("--planificateur").
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>

#include "app_folder.h"
#include "korvane/core/timescale.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using app_testing::AppFolder;
using toolkit::TextList;

const char* const kStartFiles[] = {"liste.mac",   "liste.ip", "liste.patch", "liste.ip.discover",
                                   "liste.known", "krv.ini",  "localGM"};

// Files opened by bare name and as the program folder's are the same files,
// wherever Korvane was started from.
TEST(AppStart, EmptyFolderGetsItsFilesAndTheDefaultSettings) {
    AppFolder folder;
    fs::create_directory(folder / "ailleurs");
    fs::current_path(folder / "ailleurs");
    korvane::KorvaneApp& app = folder.Start();
    EXPECT_EQ(fs::current_path(), fs::path(folder.Dir()).parent_path());
    EXPECT_TRUE(fs::is_empty(folder / "ailleurs"));
    for (const char* file : kStartFiles) {
        ASSERT_TRUE(folder.Exists(file)) << file;
        EXPECT_EQ(fs::file_size(folder / file), 0u) << file;
    }
    EXPECT_EQ(app.CurrentSettings().left, 100);
    EXPECT_EQ(folder.View().Map().height, 300);
    EXPECT_TRUE(folder.View().Map().entries.empty());
    EXPECT_EQ(folder.View().scanLights, std::vector<korvane::Light>{korvane::Light::Grey});
    EXPECT_TRUE(folder.View().warnings.empty());
    folder.Exit();
    EXPECT_EQ(folder.Read("krv.ini"),
              (TextList{"pdc=", "esu=", "left=100", "top=100", "height=300", "nbyrow=3"}));
    EXPECT_TRUE(folder.Read("settings.ini").empty());
}

// The exit writes krv.ini with the window's place (or, without a window, the
// place as it was), three lines per entry, and drops settings it does not
// know; it runs once. The app's destruction writes nothing. The next start
// finds the place and polls the saved poll list.
TEST(AppExit, WritesTheSettingsOnceAndTheNextStartFindsThem) {
    AppFolder folder;
    folder.Write("localGM", {"pc1", "bureau"});
    folder.Write("krv.ini", {"ip=10.0.0.0", "pdc=\\\\SRV", "esu=x", "masque=255.255.255.0"});
    korvane::KorvaneApp& app = folder.Start();
    app.TimerRedrawTimer();  // the 10-second tick writes localIP
    ASSERT_TRUE(folder.Settle());
    app.Exit(korvane::WindowGeometry{150, 160, 420});
    EXPECT_EQ(folder.Read("settings.ini"), (TextList{"pc1", "bof", "bof", "bureau", "bof", "bof"}));
    EXPECT_EQ(folder.Read("krv.ini"),
              (TextList{"pdc=\\\\SRV", "esu=x", "left=150", "top=160", "height=420", "nbyrow=3"}));
    fs::remove(folder / "krv.ini");
    app.Exit(std::nullopt);
    EXPECT_FALSE(folder.Exists("krv.ini"));
    EXPECT_EQ(app.TimerCount(), 0u);

    folder.Write("krv.ini", {"left=150", "top=160", "height=420"});
    folder.Start().WindowResized(500);
    EXPECT_NE(testing_support::ReadBytes(folder.Slots() + "ping0.sh").find("'localIP'"),
              std::string::npos);
    EXPECT_EQ(folder.View().Map().height, 420);
    fs::remove(folder / "krv.ini");
    fs::remove(folder / "settings.ini");
    folder.Drop();
    EXPECT_FALSE(folder.Exists("krv.ini"));
    EXPECT_FALSE(folder.Exists("settings.ini"));
    EXPECT_EQ(folder.Scheduler().Count(), 0u);  // no timer outlives the app

    folder.Start().WindowResized(500);
    folder.Exit(std::nullopt);
    EXPECT_EQ(folder.Read("krv.ini").at(4), "height=500");
}

// A run killed during a save or with polls under way leaves temporaries and
// its slot folder; the next start removes them, but not the temporary of a
// writer still at work (netsweep writing a list) nor files of others. The
// exit removes its slot files, but not a marker whose script still runs,
// and its slot folder once empty.
TEST(AppStart, SlotFilesGoAtTheStartAndAtTheExitButAScriptsRunningMarker) {
    AppFolder folder;
    const std::string scratch = folder.Scratch();
    const std::string gone = std::to_string(testing_support::GonePid());
    const toolkit::platform::ProcessIdentity self = toolkit::platform::ThisProcess();
    // Ended, however it ended; and this process's id as an earlier process had it.
    const std::string ended = scratch + "p" + gone + "-5/";
    const std::string reused =
        scratch + korvane::ProcessFolderName({self.id, self.started + 1}) + "/";
    for (const auto& dir : {scratch, ended, reused}) {
        fs::create_directory(dir);
        fs::permissions(dir, fs::perms::owner_all);  // ours alone
    }
    const TextList stale = {folder / (".krv.ini.tmp-" + gone + "-0"),
                            folder / (".etats.tmp-" + gone + "-3"),
                            scratch + ".ping7.txt.tmp-" + gone + "-0",
                            scratch + ".ipconfig.txt.tmp-" + gone + "-2",
                            scratch + "7.mark",  // the layout before slot folders
                            scratch + "ping7.sh",
                            ended + "7.mark",
                            ended + "ping7.sh",
                            ended + "ping7.txt",
                            ended + ".ping7.err.tmp-" + gone + "-0",
                            reused + "3.mark"};
    const TextList kept = {folder / (".liste.ip.tmp-" + std::to_string(getpid()) + "-0"),
                           folder / "notes.txt", scratch + "notes.txt",
                           scratch + "p" + gone + "/notes.txt", scratch + "p-" + gone + "-5"};
    fs::create_directory(scratch + "p" + gone);
    for (const auto& path : stale) testing_support::WriteBytes(path, "x");
    for (const auto& path : kept) testing_support::WriteBytes(path, "x");
    for (const auto& marker : {scratch + "7.mark", ended + "7.mark", reused + "3.mark"}) {
        fs::permissions(marker, fs::perms::owner_read);  // their runs were killed
    }
    folder.Start();
    for (const auto& path : stale) EXPECT_FALSE(fs::exists(path)) << path;
    for (const auto& dir : {ended, reused}) EXPECT_FALSE(fs::exists(dir)) << dir;
    for (const auto& path : kept) EXPECT_TRUE(fs::exists(path)) << path;

    ASSERT_TRUE(folder.Settle());
    const std::string slots = folder.Slots();
    for (const char* name :
         {"7.mark", "ping7.txt", "ping7.sh", "ping7.bat", "12.mark", "ping300.txt"}) {
        testing_support::WriteBytes(slots + name, "x");
    }
    fs::permissions(slots + "7.mark", fs::perms::owner_read);
    folder.Exit();
    for (const char* name : {"7.mark", "ping300.txt"}) {
        EXPECT_TRUE(fs::exists(slots + name)) << name;
    }
    for (const char* name : {"ping7.txt", "ping7.sh", "ping7.bat", "12.mark", "0.mark"}) {
        EXPECT_FALSE(fs::exists(slots + name)) << name;
    }
    // The start's listing of the network adapters was read, and is gone.
    for (const auto& entry : fs::directory_iterator(scratch)) {
        EXPECT_EQ(entry.path().filename().string().find("ipconfig"), std::string::npos)
            << entry.path();
    }
    // A start in this same process takes its own folder over; with no script
    // running at the exit, the folder goes.
    folder.Start();
    EXPECT_FALSE(fs::exists(slots + "7.mark"));
    ASSERT_TRUE(folder.Settle());
    fs::remove(slots + "ping300.txt");
    folder.Exit();
    EXPECT_FALSE(fs::exists(slots));
}

// Values no screen can show: 2^31 pixels high, a hundred thousand cells per
// row, a place on a monitor unplugged since. The window comes up on the
// screen, 32 cells wide at most, and that is what the next start finds.
TEST(AppStart, SettingsBeyondTheScreenAreBroughtBack) {
    AppFolder folder;
    folder.Write("krv.ini", {"nbyrow=100000", "height=2147483647", "left=100000", "top=-5000"});
    korvane::KorvaneApp& app = folder.Start({{0, 0, 1280, 800}});
    const korvane::Settings& settings = app.CurrentSettings();
    EXPECT_EQ(settings.nbyrow, 32);
    EXPECT_EQ(settings.height, 800);
    EXPECT_TRUE(settings.left >= 0 && settings.left < 1280) << settings.left;
    EXPECT_TRUE(settings.top >= 0 && settings.top < 800) << settings.top;
    EXPECT_EQ(folder.View().Map().nbyrow, 32);
    folder.Exit();
    const TextList saved = folder.Read("krv.ini");
    ASSERT_EQ(saved.size(), 6u);
    EXPECT_EQ(saved[4], "height=800");
    EXPECT_EQ(saved[5], "nbyrow=32");
}

TEST(AppStart, UnusableScratchFolderIsReportedAndNothingBreaks) {
    AppFolder folder;
    fs::create_directory(folder / "ailleurs");
    fs::create_directory_symlink(folder / "ailleurs", fs::path(folder.Scratch()).parent_path());
    folder.Write("localGM", {"pc1"});
    folder.Write("liste.ip", {"pc1 10.0.0.5"});
    korvane::KorvaneApp& app = folder.Start();
    ASSERT_EQ(folder.View().warnings.size(), 1u);
    EXPECT_TRUE(folder.View().warnings[0].starts_with("Paramètres réseau illisibles"));
    EXPECT_TRUE(folder.View().status.starts_with("Relevé des ordinateurs impossible"));
    EXPECT_EQ(app.Vars().PingSlot, 0);
    app.TimerRedrawTimer();
    EXPECT_EQ(app.Vars().PingSlot, 0);
    EXPECT_EQ(folder.View().Map().entries.size(), 1u);
    folder.Exit();
    EXPECT_TRUE(fs::is_empty(folder / "ailleurs"));
    EXPECT_EQ(folder.Read("krv.ini").size(), 6u);
}

// As root no permission stops a write, so the disk is made "full" for this
// process alone with a zero file-size limit.
class FileSizeLimit {
  public:
    FileSizeLimit() {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit none{0, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &none);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST(AppExit, UnwritableSettingsKeepTheOldFileAndSaySo) {
    AppFolder folder;
    folder.Write("krv.ini", {"pdc=SRV", "nbyrow=4", "ip=10.0.0.0"});
    korvane::KorvaneApp& app = folder.Start();
    {
        FileSizeLimit full;
        app.Exit(std::nullopt);
    }
    EXPECT_EQ(folder.Read("krv.ini"), (TextList{"pdc=SRV", "nbyrow=4", "ip=10.0.0.0"}));
    ASSERT_EQ(folder.View().warnings.size(), 1u);
    EXPECT_TRUE(folder.View().warnings[0].starts_with("Les réglages n'ont pas été enregistrés.\n"));
    EXPECT_NE(folder.View().warnings[0].find("krv.ini"), std::string::npos);
}

// "korvane --planificateur" of the program folder, started with no display
// and no Qt platform named, its standard error in a file of the folder.
class Planner {
  public:
    Planner(AppFolder& folder, const std::string& errorsFile, const char* timeScale = nullptr)
        : folder_(folder) {
        const std::string program = folder / "korvane";
        const std::string errors = folder / errorsFile;
        pid_ = fork();
        if (pid_ == 0) {
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                unsetenv(name);
            if (timeScale != nullptr) setenv(korvane::kTimeScaleVariable, timeScale, 1);
            const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd >= 0) dup2(fd, 2);
            execl(program.c_str(), program.c_str(), "--planificateur", static_cast<char*>(nullptr));
            _exit(127);
        }
        EXPECT_GT(pid_, 0);
    }
    ~Planner() { Stop(); }
    // Ends it as a desktop logout does (SIGTERM), the app of the test stepped
    // meanwhile; its exit status, or -1 when it had to be killed.
    int Stop() {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        int status = 0;
        const bool ended =
            folder_.RunUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
        if (!ended) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        pid_ = -1;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    AppFolder& folder_;
    pid_t pid_ = -1;
};

// "--planificateur": the real program. What a box would say goes to the
// standard error (here the refused scratch folder), the journal is kept, and
// a signal ends it as "Quitter" does, settings saved.
TEST(AppPlanner, RunsWithNoWindowTellsOnStandardErrorAndEndsOnASignal) {
    AppFolder folder;
    folder.InstallProgram("korvane");
    folder.Write("localGM", {"pc1"});
    folder.Write("krv.ini", {"pdc=SRV", "nbyrow=2"});
    fs::create_directory(folder / "ailleurs");
    fs::create_directory_symlink(folder / "ailleurs", fs::path(folder.Scratch()).parent_path());
    const std::string errors = folder / "stderr.txt";
    Planner planner(folder, "stderr.txt");
    const bool started = folder.RunUntil(
        [&] {
            return folder.Exists("historique.etats") &&
                   testing_support::ReadBytes(errors).find("korvane : ") != std::string::npos;
        },
        10000);
    const int status = planner.Stop();
    ASSERT_TRUE(started) << testing_support::ReadBytes(errors);
    EXPECT_EQ(status, 0);
    EXPECT_NE(testing_support::ReadBytes(errors).find("korvane : Paramètres réseau illisibles"),
              std::string::npos)
        << testing_support::ReadBytes(errors);
    const TextList settings = folder.Read("krv.ini");
    ASSERT_EQ(settings.size(), 6u);
    EXPECT_EQ(settings[0], "pdc=SRV");
    EXPECT_EQ(settings[5], "nbyrow=2");
    const TextList history = folder.Read("historique.etats");
    ASSERT_EQ(history.size(), 2u);
    EXPECT_TRUE(history[1].ends_with(";*;?"));
}

// A window (the app here) and "--planificateur" of one user, in one program
// folder and one scratch folder, as the README sets them up. The planner is
// started and stopped six times while the window's polls wait for hostping:
// each of its starts and exits leaves the window's requests alone, so every
// one of them is collected, with its own result, and the window's timers
// come back to what they were. Of the planners' slot folders, each start
// removes those of the planners that ended.
TEST(AppPlanner, StartedBesideAWindowLeavesTheWindowsRequestsAlone) {
    AppFolder folder;
    folder.InstallProgram("korvane");
    folder.Write("localGM", {"pc1"});
    folder.Write("answers", {"pc1=1"});
    // hostping notes each start, then waits for "go" before it answers.
    folder.InstallScript("hostping",
                         "dir=$(dirname \"$0\"); echo \"$1\" >> \"$dir/started\"; i=0; "
                         "while [ ! -e \"$dir/go\" ] && [ $i -lt 400 ]; do sleep 0.05; "
                         "i=$((i + 1)); done; cat \"$dir/answers\" > \"$2.part\" && "
                         "mv \"$2.part\" \"$2\"");
    const auto started = [&] { return folder.Lines("started").size(); };
    testing_support::WriteBytes(folder / "go", "");
    korvane::KorvaneApp& app = folder.Start();
    ASSERT_TRUE(folder.Settle());
    const std::size_t timers = app.TimerCount();
    fs::remove(folder / "go");
    for (int run = 0; run < 6; ++run) {
        const std::size_t before = started();
        app.TimerRedrawTimer();  // one more of the window's polls waits
        Planner planner(folder, "planner.txt");
        // The planner's own poll has started: its start's clean-up is over.
        ASSERT_TRUE(folder.RunUntil([&] { return started() >= before + 2; }, 10000))
            << testing_support::ReadBytes(folder / "planner.txt");
        EXPECT_EQ(planner.Stop(), 0) << testing_support::ReadBytes(folder / "planner.txt");
    }
    EXPECT_TRUE(app.PendingRequests());
    testing_support::WriteBytes(folder / "go", "");
    EXPECT_TRUE(folder.Settle(20000));
    EXPECT_EQ(app.TimerCount(), timers);
    EXPECT_EQ(folder.Read("etats"), TextList{"pc1=1"});
    EXPECT_EQ(folder.View().Of(&korvane::MapEntry::up), std::vector<bool>{true});
    int others = 0;
    for (const auto& entry : fs::directory_iterator(folder.Scratch())) {
        const std::string name = entry.path().filename().string();
        if (korvane::ProcessOfFolder(name) && folder.Scratch() + name + "/" != folder.Slots())
            ++others;
    }
    EXPECT_LE(others, 1);
}

// What the window's status bar and console would say reaches the standard
// error of "--planificateur": each problem once, not at every tick. The
// timers run 100 times faster: a poll every 100 ms, a look at the plan every
// 150 ms. Folders and a FIFO stand where files must be written or read.
TEST(AppPlanner, TellsEachProblemOnStandardErrorOnce) {
    struct Case {
        std::vector<std::string> folders;  // made where a file is expected
        const char* fifo;
        bool hostping;
        std::vector<std::string> told;
    };
    const std::vector<Case> cases = {
        {{"historique.etats", "localIP", "etats"},
         "planning.fait",
         true,
         {"Historique des états : ", "Liste du relevé non enregistrée : ",
          "État des ordinateurs non enregistré : ", "Actions planifiées du jour illisibles : "}},
        {{"planning.lck"}, nullptr, true, {"Le verrou « "}},
        // Each slot's script says it: the reason must not change with the slot.
        {{}, nullptr, false, {"Relevé des ordinateurs impossible : "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.told.front());
        AppFolder folder;
        folder.InstallProgram("korvane");
        if (c.hostping) folder.InstallHostpingStandIn();
        folder.Write("localGM", {"pc1"});
        folder.Write("answers", {"pc1=1"});
        for (const std::string& name : c.folders) fs::create_directory(folder / name);
        if (c.fifo != nullptr) {
            ASSERT_EQ(mkfifo((folder / c.fifo).c_str(), 0600), 0);
        }
        const std::string errors = folder / "stderr.txt";
        const auto times = [&](const std::string& text) {
            const std::string all = testing_support::ReadBytes(errors);
            int count = 0;
            for (std::size_t at = all.find("korvane : " + text); at != std::string::npos;
                 at = all.find("korvane : " + text, at + 1)) {
                ++count;
            }
            return count;
        };
        const auto allTold = [&] {
            return std::all_of(c.told.begin(), c.told.end(),
                               [&](const std::string& text) { return times(text) > 0; });
        };
        Planner planner(folder, "stderr.txt", "100");
        const bool told = folder.RunUntil(allTold, 10000);
        // Ten more polls and looks at the plan.
        const auto since = std::chrono::steady_clock::now();
        folder.RunUntil([&] { return std::chrono::steady_clock::now() - since > 1500ms; }, 3000);
        EXPECT_EQ(planner.Stop(), 0);
        EXPECT_TRUE(told) << testing_support::ReadBytes(errors);
        for (const std::string& text : c.told) {
            EXPECT_EQ(times(text), 1) << text << "\n" << testing_support::ReadBytes(errors);
        }
    }
}

}  // namespace
