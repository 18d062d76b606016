// KorvaneApp, the polling: every 10 s a script runs hostping on the poll
// list; each request owns a slot whose marker the script makes writable
// when done, looked at by a timer of its own.
#include <cstdio>

#include "korvane/app/app.h"
#include "korvane/app/gateway_probe.h"
#include "korvane/app/texts.h"
#include "korvane/core/timescale.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

constexpr int kPollInterval = 400;
constexpr int kCheckInterval = 20;
// The gateway's answer is looked for this often until it comes.
constexpr int kGatewayInterval = 50;

}  // namespace

void KorvaneApp::ReleaseRequest(int slot) {
    Cancel(requests_[static_cast<std::size_t>(slot)]);
}

// A slot reused after the counter wrapped first lets go of its old timer, so
// no more than 256 request timers ever exist.
void KorvaneApp::StartRequestTimer(int slot, int interval, const RequestHandler& handler) {
    ReleaseRequest(slot);
    requests_[static_cast<std::size_t>(slot)] = Every(interval, [slot, handler] { handler(slot); });
}

// The next slot's files, its marker armed and what an older request of the
// slot left gone. Throws FileError, ScratchError.
SlotFiles KorvaneApp::ArmSlot() {
    const SlotFiles files = SlotFilesFor(toolkit::kHostOs, SlotPaths(), krv_.PingSlot);
    ArmMarker(files.marker);
    for (const auto& old : {files.result, files.errors}) toolkit::platform::RemoveFile(old);
    return files;
}

// The script started, its slot's timer looks for its end; the next request
// takes the next slot.
int KorvaneApp::WatchSlot(int interval, const RequestHandler& handler) {
    const int slot = krv_.PingSlot++;
    StartRequestTimer(slot, interval, handler);
    return slot;
}

// The slot's files once its script has made the marker writable again, its
// timer then let go; nothing while the script runs.
std::optional<SlotFiles> KorvaneApp::FinishSlot(int slot) {
    std::optional<SlotFiles> finished = FinishedSlot(static_cast<std::uint8_t>(slot));
    if (finished) ReleaseRequest(slot);
    return finished;
}

void KorvaneApp::ExecPING_GM(const std::string& listName) {
    if (listName == krv_.OtherGroupName) return;
    try {
        const SlotFiles files = ArmSlot();
        toolkit::SaveText(files.script,
                          PollScript(toolkit::kHostOs, SlotPaths(), listName, krv_.PingSlot));
        toolkit::StartDetached(ScriptCommand(toolkit::kHostOs, files.script));
    } catch (const std::exception& error) {  // FileError, ScratchError
        // The console is hidden: the status bar tells the user why the map stands still.
        ReportProblem("poll", text::kPollFailed + std::string(error.what()));
        return;
    }
    ProblemSolved("poll");
    const int slot = WatchSlot(kPollInterval, [this](int done) { ReadPING_GM(done); });
    pollOrder_[static_cast<std::size_t>(slot)] = ++pollsStarted_;
    view_.ShowPollLight(Light::Orange);
}

void KorvaneApp::ReadPING_GM(int slot) {
    try {
        // A trace rewritten every 400 ms: written plainly, never flushed.
        toolkit::SaveLinesInPlace("log", {"timer called for " + std::to_string(slot)});
    } catch (const toolkit::FileError&) {
        // The trace is for the curious; the poll goes on without it.
    }
    const std::optional<SlotFiles> finished = FinishSlot(slot);
    if (!finished) return;
    const SlotFiles& files = *finished;
    if (!toolkit::platform::FileExists(files.result)) {
        // hostping wrote no result: its reason, if it gave one, is told; the
        // map stays as it was.
        const std::string reason = ProbeFailureReasonIn(files.errors, files.script);
        toolkit::platform::RemoveFile(files.errors);
        if (!reason.empty()) ReportProblem("probe", text::kPollFailed + reason);
        return;
    }
    TextList lines;
    try {
        lines = toolkit::LoadLines(files.result);
    } catch (const toolkit::FileError&) {
        return;
    }
    ProblemSolved("probe");
    for (const auto& file : {files.result, files.script, files.errors}) {
        toolkit::platform::RemoveFile(file);
    }
    // A poll that took longer (names to resolve) than the one started after
    // it must not put older states back on the map.
    const std::uint64_t order = pollOrder_[static_cast<std::size_t>(slot)];
    if (order < pollShown_) return;
    pollShown_ = order;
    // The result exists only when hostping completed: no line means that
    // nobody answered, and every computer is shown off.
    try {
        toolkit::SaveLines(toolkit::ProgramDir() + "etats", lines);
    } catch (const toolkit::FileError& error) {
        ReportProblem("etats", text::kStatesNotSaved + std::string(error.what()));
        return;
    }
    ProblemSolved("etats");
    states_ = std::move(lines);
    LookAtAddressHolders();
    Redraw_network();
    RecordStates();
    view_.ShowPollLight(Light::Grey);
}

void KorvaneApp::ExecPING_host(const std::string& host, const RequestHandler& handler) {
    try {
        // The check probes what the poll probes: the address when liste.ip has one.
        const std::string address = toolkit::Trim(krv_.FindIP(host));
        const std::optional<std::string> script = CheckScript(
            toolkit::kHostOs, SlotPaths(), host, address.empty() ? host : address, krv_.PingSlot);
        if (!script) {
            Log("Vérification de " + host + " non lancée : nom d'hôte refusé.");
            return;
        }
        const SlotFiles files = ArmSlot();
        toolkit::SaveText(files.script, *script);
        toolkit::StartDetached(ScriptCommand(toolkit::kHostOs, files.script));
    } catch (const std::exception& error) {  // FileError, ScratchError
        Log("Vérification de " + host + " non lancée : " + error.what());
        return;
    }
    Log("Lancement de ping " + host + "...");
    WatchSlot(kCheckInterval, handler);
}

void KorvaneApp::TimerRedrawTimer() {
    try {
        toolkit::SaveLines(toolkit::ProgramDir() + "localIP",
                           PollList(krv_.ManagedList, krv_.IpList));
        ProblemSolved("localIP");
    } catch (const toolkit::FileError& error) {
        ReportProblem("localIP", text::kPollListNotSaved + std::string(error.what()));
    }
    ExecPING_GM("localIP");
    ProbeGateway();
    view_.ShowScanLight(toolkit::platform::FileExists(toolkit::ProgramDir() + "netsweep.lck")
                            ? Light::Green
                            : Light::Grey);
    ReloadDiscoveryLists();
    ReloadPlan();
    LookForNewDevices();
    TraceTimers();
}

// A list that cannot be read now keeps what was read before.
void KorvaneApp::ReloadDiscoveryLists() {
    for (const auto& [file, list] :
         {std::pair{"liste.ip", &krv_.IpList}, {"liste.mac", &krv_.MacList}}) {
        try {
            *list = toolkit::LoadLines(file);
            ProblemSolved(file);
        } catch (const toolkit::FileError& error) {
            ReportProblem(file, text::kListNotReread + std::string(error.what()));
        }
    }
}

// A soak run (a shortened time scale) follows Korvane's timers on stderr, at
// every 10-second tick.
void KorvaneApp::TraceTimers() const {
    if (TimeScale() == 1) return;
    std::fprintf(stderr, "korvane : %lld minuteurs\n", static_cast<long long>(timers_.size()));
}

void KorvaneApp::Timer1Timer() {
    if (StartsScan(krv_.ScanTick)) {
        StartScan();
    }
    ++krv_.ScanTick;
}

// The gateway is probed at each poll, on a thread of its own; its picture
// changes when the answer comes.
void KorvaneApp::ProbeGateway() {
    if (localHost_.gateway.empty() || gateway_) return;
    gateway_ = std::make_unique<GatewayProbe>(localHost_.gateway);
    auto timer = std::make_shared<TimerId>(0);
    *timer = Every(kGatewayInterval, [this, timer] {
        const std::optional<bool> up = gateway_ ? gateway_->TakeResult() : false;
        if (!up) return;
        Cancel(*timer);
        gateway_.reset();
        if (*up == gatewayUp_) return;
        gatewayUp_ = *up;
        Redraw_network();
    });
}

}  // namespace korvane
