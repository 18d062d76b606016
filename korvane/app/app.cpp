// KorvaneApp: its features made in the order of their needs, the start and
// the exit, and the timers' ticks that touch several features.
#include "korvane/app/app.h"

#include "korvane/app/startup.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

constexpr int kRedrawInterval = 10000;

}  // namespace

KorvaneApp::KorvaneApp(MainView& view, Scheduler& scheduler, const Clock& clock,
                       WebServingMaker serving)
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
      energy_(ctx_),
      commands_(*this, ctx_.view, ctx_.scheduler),
      web_(ctx_, map_, followUps_, scans_, planner_, power_, std::move(serving)),
      webPrefs_(ctx_, web_, RealSystem()) {}

// No file is touched here: what an exit writes, Exit writes.
KorvaneApp::~KorvaneApp() {
    ctx_.timers.CancelAll();
}

void KorvaneApp::Start(const std::vector<Rect>& screens, bool windowless) {
    if (started_) return;
    started_ = true;
    notifications_.SetWindowless(windowless);
    const std::string programDir = toolkit::ProgramDir();
    EnterProgramFolder(ctx_.view, programDir);
    ReadListsAndSettings(ctx_, screens);
    scans_.Start();
    ctx_.view.ShowScanLight(Light::Grey);
    ReadManagedList(ctx_, programDir);
    poller_.LoadStates();
    planner_.Reload();
    notifications_.TellUnseenIncidents();
    scans_.LookForNewDevices();
    poller_.ExecPING_GM(toolkit::platform::FileExists("localIP") ? "localIP" : "localGM");
    gateway_.Probe();
    Redraw_network();
    StartTimers();
    web_.Start();
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
    // No request from the network comes in while the program ends.
    web_.Stop();
    // No timer may fire into an ending program.
    scans_.StopTimer();
    ctx_.timers.Cancel(timerRedraw_);
    planner_.Stop();
    journal_.Stop();
    requests_.ReleaseAll();
    ctx_.timers.CancelAll();
    gateway_.Stop();
    const Settings& settings = ctx_.krv.settings;
    const WindowGeometry place =
        window.value_or(WindowGeometry{settings.left, settings.top, settings.height});
    SaveSettingsAtExit(ctx_, place.left, place.top, place.height);
    try {
        CleanOwnSlotFiles();
    } catch (const toolkit::ScratchError&) {
        // No scratch folder, nothing of ours to clean.
    }
}

// Each poll's states: who holds each address, the map, the journal.
void KorvaneApp::PollEnded() {
    holders_.Look();
    map_.Redraw();
    web_.Publish(true);
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
    web_.Look();
    web_.Publish();
    ctx_.timers.Trace();
}

}  // namespace korvane
