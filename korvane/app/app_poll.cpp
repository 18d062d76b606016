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
// The gateway's answer is looked for this often until it comes.
constexpr int kGatewayInterval = 50;

}  // namespace

void KorvaneApp::ExecPING_host(const std::string& host, const RequestHandler& handler) {
    requests_.ExecPING_host(host, handler);
}

void KorvaneApp::ReleaseRequest(int slot) {
    requests_.Release(slot);
}

void KorvaneApp::ExecPING_GM(const std::string& listName) {
    if (listName == ctx_.krv.OtherGroupName) return;
    try {
        const SlotFiles files = requests_.Arm();
        toolkit::SaveText(files.script,
                          PollScript(toolkit::kHostOs, SlotPaths(), listName, ctx_.krv.PingSlot));
        toolkit::StartDetached(ScriptCommand(toolkit::kHostOs, files.script));
    } catch (const std::exception& error) {  // FileError, ScratchError
        // The console is hidden: the status bar tells the user why the map stands still.
        ctx_.console.ReportProblem("poll", text::kPollFailed + std::string(error.what()));
        return;
    }
    ctx_.console.ProblemSolved("poll");
    const int slot = requests_.Watch(kPollInterval, [this](int done) { ReadPING_GM(done); });
    pollOrder_[static_cast<std::size_t>(slot)] = ++pollsStarted_;
    ctx_.view.ShowPollLight(Light::Orange);
}

void KorvaneApp::ReadPING_GM(int slot) {
    try {
        // A trace rewritten every 400 ms: written plainly, never flushed.
        toolkit::SaveLinesInPlace("log", {"timer called for " + std::to_string(slot)});
    } catch (const toolkit::FileError&) {
        // The trace is for the curious; the poll goes on without it.
    }
    const std::optional<SlotFiles> finished = requests_.Finish(slot);
    if (!finished) return;
    const SlotFiles& files = *finished;
    if (!toolkit::platform::FileExists(files.result)) {
        // hostping wrote no result: its reason, if it gave one, is told; the
        // map stays as it was.
        const std::string reason = ProbeFailureReasonIn(files.errors, files.script);
        toolkit::platform::RemoveFile(files.errors);
        if (!reason.empty()) ctx_.console.ReportProblem("probe", text::kPollFailed + reason);
        return;
    }
    TextList lines;
    try {
        lines = toolkit::LoadLines(files.result);
    } catch (const toolkit::FileError&) {
        return;
    }
    ctx_.console.ProblemSolved("probe");
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
        ctx_.console.ReportProblem("etats", text::kStatesNotSaved + std::string(error.what()));
        return;
    }
    ctx_.console.ProblemSolved("etats");
    states_ = std::move(lines);
    holders_.Look();
    Redraw_network();
    RecordStates();
    ctx_.view.ShowPollLight(Light::Grey);
}

void KorvaneApp::TimerRedrawTimer() {
    try {
        toolkit::SaveLines(toolkit::ProgramDir() + "localIP",
                           PollList(ctx_.krv.ManagedList, ctx_.krv.IpList));
        ctx_.console.ProblemSolved("localIP");
    } catch (const toolkit::FileError& error) {
        ctx_.console.ReportProblem("localIP", text::kPollListNotSaved + std::string(error.what()));
    }
    ExecPING_GM("localIP");
    ProbeGateway();
    scans_.ShowLight();
    ReloadDiscoveryLists();
    ReloadPlan();
    scans_.LookForNewDevices();
    ctx_.timers.Trace();
}

// A list that cannot be read now keeps what was read before.
void KorvaneApp::ReloadDiscoveryLists() {
    for (const auto& [file, list] :
         {std::pair{"liste.ip", &ctx_.krv.IpList}, {"liste.mac", &ctx_.krv.MacList}}) {
        try {
            *list = toolkit::LoadLines(file);
            ctx_.console.ProblemSolved(file);
        } catch (const toolkit::FileError& error) {
            ctx_.console.ReportProblem(file, text::kListNotReread + std::string(error.what()));
        }
    }
}

void KorvaneApp::Timer1Timer() {
    scans_.Tick();
}

// The gateway is probed at each poll, on a thread of its own; its picture
// changes when the answer comes.
void KorvaneApp::ProbeGateway() {
    if (ctx_.localHost.gateway.empty() || gateway_) return;
    gateway_ = std::make_unique<GatewayProbe>(ctx_.localHost.gateway);
    auto timer = std::make_shared<TimerId>(0);
    *timer = ctx_.timers.Every(kGatewayInterval, [this, timer] {
        const std::optional<bool> up = gateway_ ? gateway_->TakeResult() : false;
        if (!up) return;
        ctx_.timers.Cancel(*timer);
        gateway_.reset();
        if (*up == gatewayUp_) return;
        gatewayUp_ = *up;
        Redraw_network();
    });
}

}  // namespace korvane
