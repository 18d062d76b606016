// KorvaneApp: the start, the exit, and what every part shares (timers,
// console log, status bar).
#include "korvane/app/app.h"

#include <filesystem>

#include "korvane/app/texts.h"
#include "korvane/core/timescale.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

constexpr int kRedrawInterval = 10000;

}  // namespace

KorvaneApp::KorvaneApp(MainView& view, Scheduler& scheduler, const Clock& clock)
    : ctx_(view, scheduler, clock),
      requests_(ctx_),
      notifications_(ctx_),
      scans_(ctx_, notifications_),
      holders_(ctx_, scans_),
      followUps_(ctx_, requests_, notifications_),
      power_(ctx_, requests_, holders_, scans_, followUps_, notifications_),
      poller_(ctx_, requests_, [this] { PollEnded(); }),
      gateway_(ctx_, [this] { Redraw_network(); }),
      journal_(ctx_, poller_, holders_),
      planner_(ctx_, power_, [this] { Redraw_network(); }),
      map_(ctx_, poller_, holders_, planner_, gateway_),
      entryDialog_(ctx_, planner_),
      menus_(ctx_, planner_, map_),
      intake_(ctx_, scans_, map_),
      energy_(ctx_) {}

// No file is touched here: what an exit writes, Exit writes.
KorvaneApp::~KorvaneApp() {
    ctx_.timers.CancelAll();
}

// The program folder becomes the current folder first, so that files opened
// by bare name and as ProgramDir + name are the same files.
void KorvaneApp::Start(const std::vector<Rect>& screens, bool windowless) {
    if (started_) return;
    started_ = true;
    notifications_.SetWindowless(windowless);
    const std::string programDir = toolkit::ProgramDir();
    std::error_code ignored;
    std::filesystem::current_path(programDir, ignored);
    // Every batch file names a program of this folder: one it cannot name
    // would leave the map still for good, so it is said at once.
    if (const std::string lacking = toolkit::platform::BatchMissingCharacter(programDir);
        !lacking.empty()) {
        ctx_.view.Warn(text::kProgramFolderUnfit + programDir + text::kProgramFolderUnfitCharacter +
                       lacking + text::kProgramFolderUnfitWhy);
    }
    // What a run killed earlier left behind goes before anything is read.
    toolkit::platform::RemoveStaleTemporaries(programDir);
    try {
        RemoveEarlierRunFiles(toolkit::ScratchDir());
    } catch (const toolkit::ScratchError&) {
        // Told where the folder is first needed, by the network settings.
    }
    ctx_.krv = KrvVar{};
    LoadListFiles();
    ctx_.krv.settings.nbyrow = 3;
    try {
        ctx_.krv.LoadSettings();
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(error.what());
    }
    if (!screens.empty()) {
        Settings& settings = ctx_.krv.settings;
        const WindowPlace place = PlaceWindow({settings.left, settings.top, settings.height},
                                              MapWidth(settings.nbyrow), screens);
        settings.left = place.left;
        settings.top = place.top;
        settings.height = place.height;
    }
    toolkit::LoadLocalAddressTable(ctx_.krv.LocalAddresses, ctx_.krv.LocalMasks);
    ReadLocalNetwork();
    scans_.Start();
    ctx_.view.ShowScanLight(Light::Grey);
    ctx_.krv.OtherGroupName = "Autres";
    try {
        ctx_.krv.ManagedList = LoadOrCreateList(programDir + kManagedFile);
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(error.what());
    }
    poller_.LoadStates();
    planner_.Reload();
    notifications_.TellUnseenIncidents();
    scans_.LookForNewDevices();
    poller_.ExecPING_GM(toolkit::platform::FileExists("localIP") ? "localIP" : "localGM");
    gateway_.Probe();
    Redraw_network();
    StartTimers();
}

void KorvaneApp::LoadListFiles() {
    const std::pair<const char*, TextList*> lists[] = {
        {"liste.mac", &ctx_.krv.MacList},     {"liste.ip", &ctx_.krv.IpList},
        {"liste.patch", &ctx_.krv.PatchList}, {"liste.ip.discover", &ctx_.krv.DiscoverList},
        {"liste.known", &ctx_.krv.EntryIPs},
    };
    for (const auto& [file, list] : lists) {
        try {
            *list = LoadOrCreateList(file);
        } catch (const toolkit::FileError& error) {
            ctx_.view.Warn(error.what());
        }
    }
}

void KorvaneApp::ReadLocalNetwork() {
    try {
        ctx_.localHost = toolkit::ReadIpConfig();
    } catch (const std::exception& error) {  // FileError, ScratchError
        ctx_.localHost = {};
        ctx_.view.Warn(std::string(text::kNetworkUnreadable) + error.what());
    }
}

void KorvaneApp::StartTimers() {
    scans_.StartTimer();
    timerRedraw_ = ctx_.timers.Every(kRedrawInterval, [this] { TimerRedrawTimer(); });
    journal_.Start();
    planner_.Start();
}

void KorvaneApp::Exit(const std::optional<WindowGeometry>& window) {
    if (!started_ || ended_) return;
    ended_ = true;
    // No timer may fire into an ending program.
    scans_.StopTimer();
    ctx_.timers.Cancel(timerRedraw_);
    planner_.Stop();
    journal_.Stop();
    requests_.ReleaseAll();
    ctx_.timers.CancelAll();
    gateway_.Stop();
    SaveAtExit(window);
    try {
        CleanOwnSlotFiles();
    } catch (const toolkit::ScratchError&) {
        // No scratch folder, nothing of ours to clean.
    }
}

// The settings are replaced atomically: a failed write keeps the old files,
// and the user is told that this run's settings are lost.
void KorvaneApp::SaveAtExit(const std::optional<WindowGeometry>& window) {
    const Settings& settings = ctx_.krv.settings;
    const WindowGeometry place =
        window.value_or(WindowGeometry{settings.left, settings.top, settings.height});
    std::string failures;
    try {
        ctx_.krv.SaveSettings(place.left, place.top, place.height);
    } catch (const toolkit::FileError& error) {
        failures += std::string(error.what()) + "\n";
    }
    try {
        toolkit::SaveLines(toolkit::ProgramDir() + kEntrySettingsFile,
                           EntrySettingsLines(ctx_.krv.ManagedList,
                                              static_cast<int>(ctx_.krv.ManagedList.size()) - 1));
    } catch (const toolkit::FileError& error) {
        failures += std::string(error.what()) + "\n";
    }
    if (!failures.empty()) ctx_.view.Warn(text::kSettingsNotSaved + failures);
}

// Each poll's states: who holds each address, the map, the journal.
void KorvaneApp::PollEnded() {
    holders_.Look();
    Redraw_network();
    journal_.Record();
}

void KorvaneApp::TimerRedrawTimer() {
    poller_.SavePollList();
    poller_.ExecPING_GM("localIP");
    gateway_.Probe();
    scans_.ShowLight();
    poller_.ReloadDiscoveryLists();
    planner_.Reload();
    scans_.LookForNewDevices();
    ctx_.timers.Trace();
}

void KorvaneApp::Timer1Timer() {
    scans_.Tick();
}

}  // namespace korvane
