#include "korvane/app/requests.h"

#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

constexpr int kCheckInterval = 20;

}  // namespace

SlotFiles Requests::Arm() {
    const SlotFiles files = SlotFilesFor(toolkit::kHostOs, SlotPaths(), ctx_.krv.PingSlot);
    ArmMarker(files.marker);
    for (const auto& old : {files.result, files.errors}) toolkit::platform::RemoveFile(old);
    return files;
}

int Requests::Watch(int interval, const Handler& handler) {
    const int slot = ctx_.krv.PingSlot++;
    StartTimer(slot, interval, handler);
    return slot;
}

std::optional<SlotFiles> Requests::Finish(int slot) {
    std::optional<SlotFiles> finished = FinishedSlot(static_cast<std::uint8_t>(slot));
    if (finished) Release(slot);
    return finished;
}

void Requests::Release(int slot) {
    ctx_.timers.Cancel(timers_[static_cast<std::size_t>(slot)]);
}

void Requests::ReleaseAll() {
    for (int slot = 0; slot < static_cast<int>(timers_.size()); ++slot) Release(slot);
}

bool Requests::Pending() const {
    for (const TimerId id : timers_) {
        if (id != 0) return true;
    }
    return false;
}

// A slot reused after the counter wrapped first lets go of its old timer, so
// no more than 256 request timers ever exist.
void Requests::StartTimer(int slot, int interval, const Handler& handler) {
    Release(slot);
    timers_[static_cast<std::size_t>(slot)] =
        ctx_.timers.Every(interval, [slot, handler] { handler(slot); });
}

void Requests::ExecPING_host(const std::string& host, const Handler& handler) {
    Console& console = ctx_.console;
    try {
        // The check probes what the poll probes: the address when liste.ip has one.
        const std::string address = toolkit::Trim(ctx_.krv.FindIP(host));
        const std::optional<std::string> script =
            CheckScript(toolkit::kHostOs, SlotPaths(), host, address.empty() ? host : address,
                        ctx_.krv.PingSlot);
        if (!script) {
            console.Log("Vérification de " + host + " non lancée : nom d'hôte refusé.");
            return;
        }
        const SlotFiles files = Arm();
        toolkit::SaveText(files.script, *script);
        toolkit::StartDetached(ScriptCommand(toolkit::kHostOs, files.script));
    } catch (const std::exception& error) {  // FileError, ScratchError
        console.Log("Vérification de " + host + " non lancée : " + error.what());
        return;
    }
    console.Log("Lancement de ping " + host + "...");
    Watch(kCheckInterval, handler);
}

}  // namespace korvane
