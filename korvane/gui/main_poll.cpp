// TForm1, the polling: every 10 s a script runs hostping on the poll list;
// each request owns a slot whose marker the script makes writable when done.
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>

#include "KrvVar.h"
#include "main.h"
#include "platform/platform.h"
#include "polling.h"
#include "tools.h"

namespace korvane {

namespace {

constexpr int kPollInterval = 400;
constexpr int kCheckInterval = 20;

}  // namespace

void TForm1::ReleasePingTimer(int slot) {
    TTimer*& timer = PingTimers[static_cast<std::size_t>(slot)];
    if (timer == nullptr) return;
    timer->stop();
    timer->deleteLater();  // it may be the timer whose tick is running now
    timer = nullptr;
}

// A slot reused after the counter wrapped first lets go of its old timer, so
// no more than 256 request timers ever exist.
static TTimer* StartRequestTimer(TForm1* form, int slot, int interval,
                                 const RequestHandler& handler) {
    form->ReleasePingTimer(slot);
    auto* timer = new TTimer(form);
    timer->Tag = slot;
    timer->setInterval(interval);
    QObject::connect(timer, &QTimer::timeout, form, [timer, handler] { handler(timer); });
    timer->start();
    form->PingTimers[static_cast<std::size_t>(slot)] = timer;
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
        toolkit::SaveText(files.script,
                          PollScript(toolkit::kHostOs, paths, listName, krv.PingSlot));
        toolkit::StartDetached(ScriptCommand(toolkit::kHostOs, files.script));
    } catch (const std::exception& error) {  // FileError, ScratchError
        // The console is hidden: the status bar tells the user why the map stands still.
        const std::string message =
            "Relevé des ordinateurs impossible : " + std::string(error.what());
        Log(message);
        StatusMain->showMessage(Q(message));
        return;
    }
    StartRequestTimer(this, slot, kPollInterval, handler);
    ++krv.PingSlot;
    ping_led->setPixmap(LedOrange);
}

void TForm1::ReadPING_GM(TTimer* timer) {
    const int slot = timer->Tag;
    try {
        toolkit::SaveLines("log", {"timer called for " + std::to_string(slot)});
    } catch (const toolkit::FileError&) {
        // The trace is for the curious; the poll goes on without it.
    }
    SlotFiles files;
    try {
        files = SlotFilesFor(toolkit::kHostOs, toolkit::HostToolPaths(),
                             static_cast<std::uint8_t>(slot));
    } catch (const toolkit::ScratchError&) {
        return;
    }
    if (MarkerIsArmed(files.marker)) return;
    ReleasePingTimer(slot);
    if (!toolkit::platform::FileExists(files.result)) return;
    toolkit::TextList lines;
    try {
        lines = toolkit::LoadLines(files.result);
    } catch (const toolkit::FileError&) {
        return;
    }
    toolkit::platform::RemoveFile(files.result);
    toolkit::platform::RemoveFile(files.script);
    if (lines.empty()) return;
    try {
        toolkit::SaveLines(toolkit::ProgramDir() + "etats", lines);
    } catch (const toolkit::FileError& error) {
        Log(error.what());
        return;
    }
    Redraw_network();
    ping_led->setPixmap(LedGrey);
}

void TForm1::ExecPING_host(const std::string& host, const RequestHandler& handler) {
    KrvVar& krv = Krv();
    const int slot = krv.PingSlot;
    try {
        const toolkit::ToolPaths paths = toolkit::HostToolPaths();
        const std::optional<std::string> script =
            CheckScript(toolkit::kHostOs, paths, host, krv.PingSlot);
        if (!script) {
            Log("Vérification de " + host + " non lancée : nom d'hôte refusé.");
            return;
        }
        const SlotFiles files = SlotFilesFor(toolkit::kHostOs, paths, krv.PingSlot);
        ArmMarker(files.marker);
        toolkit::SaveText(files.script, *script);
        toolkit::StartDetached(ScriptCommand(toolkit::kHostOs, files.script));
    } catch (const std::exception& error) {  // FileError, ScratchError
        Log("Vérification de " + host + " non lancée : " + error.what());
        return;
    }
    Log("Lancement de ping " + host + "...");
    StartRequestTimer(this, slot, kCheckInterval, handler);
    ++krv.PingSlot;
}

void TForm1::TimerRedrawTimer() {
    KrvVar& krv = Krv();
    try {
        toolkit::SaveLines(toolkit::ProgramDir() + "localIP",
                           PollList(krv.ManagedList, krv.IpList));
    } catch (const toolkit::FileError& error) {
        Log(error.what());
    }
    ExecPING_GM("localIP", [this](TTimer* timer) { ReadPING_GM(timer); });
    scan_led->setPixmap(
        toolkit::platform::FileExists(toolkit::ProgramDir() + "netsweep.lck") ? LedGreen : LedGrey);
    // A list that cannot be read now keeps what was read before.
    try {
        krv.IpList = toolkit::LoadLines("liste.ip");
    } catch (const toolkit::FileError&) {
    }
    try {
        krv.MacList = toolkit::LoadLines("liste.mac");
    } catch (const toolkit::FileError&) {
    }
}

void TForm1::Timer1Timer() {
    KrvVar& krv = Krv();
    if (StartsScan(krv.ScanTick)) {
        toolkit::StartDetached(NetsweepCommand(toolkit::kHostOs, {toolkit::ProgramDir(), ""}));
    }
    ++krv.ScanTick;
}

}  // namespace korvane
