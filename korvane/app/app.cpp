// KorvaneApp: the start, the exit, and what every part shares (timers,
// console log, status bar).
#include "korvane/app/app.h"
#include "korvane/app/app_commands.h"

#include <filesystem>

#include "korvane/app/gateway_probe.h"
#include "korvane/app/texts.h"
#include "korvane/core/timescale.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

constexpr int kRedrawInterval = 10000;
constexpr int kScanInterval = 60000;

}  // namespace

KorvaneApp::KorvaneApp(MainView& view, Scheduler& scheduler, const Clock& clock)
    : view_(view), scheduler_(scheduler), clock_(clock) {}

// No file is touched here: what an exit writes, Exit writes.
KorvaneApp::~KorvaneApp() {
    for (const TimerId id : timers_) scheduler_.Cancel(id);
}

// The program folder becomes the current folder first, so that files opened
// by bare name and as ProgramDir + name are the same files.
void KorvaneApp::Start(const std::vector<Rect>& screens, bool windowless) {
    if (started_) return;
    started_ = true;
    windowless_ = windowless;
    const std::string programDir = toolkit::ProgramDir();
    std::error_code ignored;
    std::filesystem::current_path(programDir, ignored);
    // Every batch file names a program of this folder: one it cannot name
    // would leave the map still for good, so it is said at once.
    if (const std::string lacking = toolkit::platform::BatchMissingCharacter(programDir);
        !lacking.empty()) {
        view_.Warn(text::kProgramFolderUnfit + programDir + text::kProgramFolderUnfitCharacter +
                   lacking + text::kProgramFolderUnfitWhy);
    }
    // What a run killed earlier left behind goes before anything is read.
    toolkit::platform::RemoveStaleTemporaries(programDir);
    try {
        RemoveEarlierRunFiles(toolkit::ScratchDir());
    } catch (const toolkit::ScratchError&) {
        // Told where the folder is first needed, by the network settings.
    }
    krv_ = KrvVar{};
    LoadListFiles();
    krv_.settings.nbyrow = 3;
    try {
        krv_.LoadSettings();
    } catch (const toolkit::FileError& error) {
        view_.Warn(error.what());
    }
    if (!screens.empty()) {
        Settings& settings = krv_.settings;
        const WindowPlace place = PlaceWindow({settings.left, settings.top, settings.height},
                                              MapWidth(settings.nbyrow), screens);
        settings.left = place.left;
        settings.top = place.top;
        settings.height = place.height;
    }
    toolkit::LoadLocalAddressTable(krv_.LocalAddresses, krv_.LocalMasks);
    ReadLocalNetwork();
    StartScan();
    view_.ShowScanLight(Light::Grey);
    krv_.OtherGroupName = "Autres";
    try {
        krv_.ManagedList = LoadOrCreateList(programDir + kManagedFile);
    } catch (const toolkit::FileError& error) {
        view_.Warn(error.what());
    }
    states_ = LoadStateFile();
    ReloadPlan();
    TellUnseenIncidents();
    LookForNewDevices();
    ExecPING_GM(toolkit::platform::FileExists("localIP") ? "localIP" : "localGM");
    ProbeGateway();
    Redraw_network();
    StartTimers();
}

void KorvaneApp::LoadListFiles() {
    const std::pair<const char*, TextList*> lists[] = {
        {"liste.mac", &krv_.MacList},     {"liste.ip", &krv_.IpList},
        {"liste.patch", &krv_.PatchList}, {"liste.ip.discover", &krv_.DiscoverList},
        {"liste.known", &krv_.EntryIPs},
    };
    for (const auto& [file, list] : lists) {
        try {
            *list = LoadOrCreateList(file);
        } catch (const toolkit::FileError& error) {
            view_.Warn(error.what());
        }
    }
}

void KorvaneApp::ReadLocalNetwork() {
    try {
        localHost_ = toolkit::ReadIpConfig();
    } catch (const std::exception& error) {  // FileError, ScratchError
        localHost_ = {};
        view_.Warn(std::string(text::kNetworkUnreadable) + error.what());
    }
}

void KorvaneApp::StartTimers() {
    timer1_ = Every(kScanInterval, [this] { Timer1Timer(); });
    timerRedraw_ = Every(kRedrawInterval, [this] { TimerRedrawTimer(); });
    StartPlanning();
}

void KorvaneApp::Exit(const std::optional<WindowGeometry>& window) {
    if (!started_ || ended_) return;
    ended_ = true;
    // No timer may fire into an ending program.
    Cancel(timer1_);
    Cancel(timerRedraw_);
    StopPlanning();
    for (int slot = 0; slot < static_cast<int>(requests_.size()); ++slot) ReleaseRequest(slot);
    for (const TimerId id : timers_) scheduler_.Cancel(id);
    timers_.clear();
    gateway_.reset();
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
    const Settings& settings = krv_.settings;
    const WindowGeometry place =
        window.value_or(WindowGeometry{settings.left, settings.top, settings.height});
    std::string failures;
    try {
        krv_.SaveSettings(place.left, place.top, place.height);
    } catch (const toolkit::FileError& error) {
        failures += std::string(error.what()) + "\n";
    }
    try {
        toolkit::SaveLines(
            toolkit::ProgramDir() + kEntrySettingsFile,
            EntrySettingsLines(krv_.ManagedList, static_cast<int>(krv_.ManagedList.size()) - 1));
    } catch (const toolkit::FileError& error) {
        failures += std::string(error.what()) + "\n";
    }
    if (!failures.empty()) view_.Warn(text::kSettingsNotSaved + failures);
}

// --- what every part shares ---------------------------------------------

TimerId KorvaneApp::Every(int ms, TimerCallback callback) {
    const TimerId id = scheduler_.Every(ScaledInterval(ms), std::move(callback));
    timers_.insert(id);
    return id;
}

// A one-shot timer forgets itself when it has run.
TimerId KorvaneApp::After(int ms, TimerCallback callback) {
    auto id = std::make_shared<TimerId>(0);
    *id = scheduler_.After(ScaledInterval(ms), [this, id, callback = std::move(callback)] {
        timers_.erase(*id);
        callback();
    });
    timers_.insert(*id);
    return *id;
}

void KorvaneApp::Cancel(TimerId& id) {
    if (id == 0) return;
    scheduler_.Cancel(id);
    timers_.erase(id);
    id = 0;
}

void KorvaneApp::Log(const std::string& line) {
    console_.push_back(line);
    view_.AppendConsole(line);
}

void KorvaneApp::Status(const std::string& text) {
    status_ = text;
    view_.ShowStatus(text);
}

// The status bar tells what stops the polling, once per cause.
void KorvaneApp::ReportProblem(const std::string& cause, const std::string& message) {
    if (!problems_.Raise(cause, message)) return;
    Log(message);
    Status(message);
}

void KorvaneApp::ProblemSolved(const std::string& cause) {
    const std::optional<std::string> shown = problems_.Clear(cause);
    if (shown && status_ == *shown) Status("");
}

std::string KorvaneApp::EntryName(int entry) const {
    const auto index = static_cast<std::size_t>(entry);
    return entry >= 0 && index < krv_.ManagedList.size() ? krv_.ManagedList[index] : "";
}

bool KorvaneApp::PendingRequests() const {
    for (const TimerId id : requests_) {
        if (id != 0) return true;
    }
    return false;
}

}  // namespace korvane
