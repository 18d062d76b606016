// TForm1, the polling: every 10 s a script runs hostping on the poll list;
// each request owns a slot whose marker the script makes writable when done.
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <cstdio>

#include "KrvVar.h"
#include "main.h"
#include "platform/platform.h"
#include "polling.h"
#include "timescale.h"
#include "tools.h"

namespace korvane {

namespace {

constexpr int kPollInterval = 400;
constexpr int kCheckInterval = 20;
const std::string kPollFailed = "Relevé des ordinateurs impossible : ";

// A soak run (a shortened time scale) follows Korvane's timers on stderr, at
// every 10-second tick.
void TraceTimers(const QObject* form) {
    if (TimeScale() == 1) return;
    std::fprintf(stderr, "korvane : %lld minuteurs\n",
                 static_cast<long long>(form->findChildren<QTimer*>().size()));
}

}  // namespace

void TForm1::ReportProblem(const std::string& cause, const std::string& message) {
    if (!problems_.Raise(cause, message)) return;
    Log(message);
    StatusMain->showMessage(Q(message));
}

void TForm1::ProblemSolved(const std::string& cause) {
    const std::optional<std::string> shown = problems_.Clear(cause);
    if (shown && StatusMain->currentMessage() == Q(*shown)) StatusMain->clearMessage();
}

void TForm1::ReleasePingTimer(int slot) {
    TTimer*& timer = PingTimers[static_cast<std::size_t>(slot)];
    if (timer == nullptr) return;
    timer->stop();
    timer->deleteLater();  // it may be the timer whose tick is running now
    timer = nullptr;
}

// A slot reused after the counter wrapped first lets go of its old timer, so
// no more than 256 request timers ever exist.
TTimer* TForm1::StartRequestTimer(int slot, int interval, const RequestHandler& handler) {
    ReleasePingTimer(slot);
    auto* timer = new TTimer(this);
    timer->Tag = slot;
    timer->setInterval(ScaledInterval(interval));
    QObject::connect(timer, &QTimer::timeout, this, [timer, handler] { handler(timer); });
    timer->start();
    PingTimers[static_cast<std::size_t>(slot)] = timer;
    return timer;
}

void TForm1::ExecPING_GM(const std::string& listName, const RequestHandler& handler) {
    KrvVar& krv = Krv();
    if (listName == krv.OtherGroupName) return;
    const int slot = krv.PingSlot;
    try {
        const toolkit::ToolPaths paths = toolkit::HostToolPaths();
        const SlotFiles files = SlotFilesFor(toolkit::kHostOs, paths, krv.PingSlot);
        ArmMarker(files.marker);
        toolkit::platform::RemoveFile(files.result);
        toolkit::platform::RemoveFile(files.errors);
        toolkit::SaveText(files.script,
                          PollScript(toolkit::kHostOs, paths, listName, krv.PingSlot));
        toolkit::StartDetached(ScriptCommand(toolkit::kHostOs, files.script));
    } catch (const std::exception& error) {  // FileError, ScratchError
        // The console is hidden: the status bar tells the user why the map stands still.
        ReportProblem("poll", kPollFailed + error.what());
        return;
    }
    ProblemSolved("poll");
    StartRequestTimer(slot, kPollInterval, handler);
    pollOrder_[static_cast<std::size_t>(slot)] = ++pollsStarted_;
    ++krv.PingSlot;
    ping_led->setPixmap(LedOrange);
}

void TForm1::ReadPING_GM(TTimer* timer) {
    const int slot = timer->Tag;
    try {
        // A trace rewritten every 400 ms: written plainly, never flushed.
        toolkit::SaveLinesInPlace("log", {"timer called for " + std::to_string(slot)});
    } catch (const toolkit::FileError&) {
        // The trace is for the curious; the poll goes on without it.
    }
    const std::optional<SlotFiles> finished = FinishedSlot(static_cast<std::uint8_t>(slot));
    if (!finished) return;
    const SlotFiles& files = *finished;
    ReleasePingTimer(slot);
    if (!toolkit::platform::FileExists(files.result)) {
        // hostping wrote no result: its reason, if it gave one, is told; the
        // map stays as it was.
        const std::string reason = ProbeFailureReasonIn(files.errors);
        toolkit::platform::RemoveFile(files.errors);
        if (!reason.empty()) ReportProblem("probe", kPollFailed + reason);
        return;
    }
    toolkit::TextList lines;
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
        ReportProblem("etats",
                      "État des ordinateurs non enregistré : " + std::string(error.what()));
        return;
    }
    ProblemSolved("etats");
    Redraw_network();
    RecordStates(lines);
    ping_led->setPixmap(LedGrey);
}

void TForm1::ExecPING_host(const std::string& host, const RequestHandler& handler) {
    KrvVar& krv = Krv();
    const int slot = krv.PingSlot;
    try {
        const toolkit::ToolPaths paths = toolkit::HostToolPaths();
        // The check probes what the poll probes: the address when liste.ip has one.
        const std::string address = toolkit::Trim(krv.FindIP(host));
        const std::optional<std::string> script = CheckScript(
            toolkit::kHostOs, paths, host, address.empty() ? host : address, krv.PingSlot);
        if (!script) {
            Log("Vérification de " + host + " non lancée : nom d'hôte refusé.");
            return;
        }
        const SlotFiles files = SlotFilesFor(toolkit::kHostOs, paths, krv.PingSlot);
        ArmMarker(files.marker);
        for (const auto& old : {files.result, files.errors}) toolkit::platform::RemoveFile(old);
        toolkit::SaveText(files.script, *script);
        toolkit::StartDetached(ScriptCommand(toolkit::kHostOs, files.script));
    } catch (const std::exception& error) {  // FileError, ScratchError
        Log("Vérification de " + host + " non lancée : " + error.what());
        return;
    }
    Log("Lancement de ping " + host + "...");
    StartRequestTimer(slot, kCheckInterval, handler);
    ++krv.PingSlot;
}

void TForm1::TimerRedrawTimer() {
    KrvVar& krv = Krv();
    try {
        toolkit::SaveLines(toolkit::ProgramDir() + "localIP",
                           PollList(krv.ManagedList, krv.IpList));
        ProblemSolved("localIP");
    } catch (const toolkit::FileError& error) {
        ReportProblem("localIP", "Liste du relevé non enregistrée : " + std::string(error.what()));
    }
    ExecPING_GM("localIP", [this](TTimer* timer) { ReadPING_GM(timer); });
    scan_led->setPixmap(
        toolkit::platform::FileExists(toolkit::ProgramDir() + "netsweep.lck") ? LedGreen : LedGrey);
    // A list that cannot be read now keeps what was read before.
    for (const auto& [file, list] :
         {std::pair{"liste.ip", &krv.IpList}, {"liste.mac", &krv.MacList}}) {
        try {
            *list = toolkit::LoadLines(file);
            ProblemSolved(file);
        } catch (const toolkit::FileError& error) {
            ReportProblem(file, "Liste non relue : " + std::string(error.what()));
        }
    }
    TraceTimers(this);
}

void TForm1::Timer1Timer() {
    KrvVar& krv = Krv();
    if (StartsScan(krv.ScanTick)) {
        toolkit::StartDetached(NetsweepCommand(toolkit::kHostOs, {toolkit::ProgramDir(), ""}));
    }
    ++krv.ScanTick;
}

}  // namespace korvane
