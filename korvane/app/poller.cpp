#include "korvane/app/poller.h"

#include "korvane/app/texts.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

constexpr int kPollInterval = 400;

// hostping's result once it completed, the slot's files then gone; nothing
// when it wrote none (its reason, if it gave one, is told) or it cannot be
// read now.
std::optional<TextList> TakePollResult(const SlotFiles& files, Console& console) {
    if (!toolkit::platform::FileExists(files.result)) {
        const std::string reason = ProbeFailureReasonIn(files.errors, files.script);
        toolkit::platform::RemoveFile(files.errors);
        if (!reason.empty()) console.ReportProblem("probe", text::kPollFailed + reason);
        return std::nullopt;
    }
    TextList lines;
    try {
        lines = toolkit::LoadLines(files.result);
    } catch (const toolkit::FileError&) {
        return std::nullopt;
    }
    console.ProblemSolved("probe");
    for (const auto& file : {files.result, files.script, files.errors}) {
        toolkit::platform::RemoveFile(file);
    }
    return lines;
}

}  // namespace

void Poller::LoadStates() {
    states_ = LoadStateFile();
}

void Poller::SavePollList() {
    try {
        toolkit::SaveLines(toolkit::ProgramDir() + "localIP",
                           PollList(ctx_.krv.ManagedList, ctx_.krv.IpList));
        ctx_.console.ProblemSolved("localIP");
    } catch (const toolkit::FileError& error) {
        ctx_.console.ReportProblem("localIP", text::kPollListNotSaved + std::string(error.what()));
    }
}

void Poller::ExecPING_GM(const std::string& listName) {
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

void Poller::ReadPING_GM(int slot) {
    try {
        // A trace rewritten every 400 ms: written plainly, never flushed.
        toolkit::SaveLinesInPlace("log", {"timer called for " + std::to_string(slot)});
    } catch (const toolkit::FileError&) {
        // The trace is for the curious; the poll goes on without it.
    }
    const std::optional<SlotFiles> finished = requests_.Finish(slot);
    if (!finished) return;
    std::optional<TextList> lines = TakePollResult(*finished, ctx_.console);
    if (!lines) return;
    // A poll that took longer (names to resolve) than the one started after
    // it must not put older states back on the map.
    const std::uint64_t order = pollOrder_[static_cast<std::size_t>(slot)];
    if (order < pollShown_) return;
    pollShown_ = order;
    // The result exists only when hostping completed: no line means that
    // nobody answered, and every computer is shown off.
    try {
        toolkit::SaveLines(toolkit::ProgramDir() + "etats", *lines);
    } catch (const toolkit::FileError& error) {
        ctx_.console.ReportProblem("etats", text::kStatesNotSaved + std::string(error.what()));
        return;
    }
    ctx_.console.ProblemSolved("etats");
    states_ = std::move(*lines);
    statesChanged_();
    ctx_.view.ShowPollLight(Light::Grey);
}

void Poller::ReloadDiscoveryLists() {
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

}  // namespace korvane
