#include "korvane/app/scans.h"

#include "korvane/core/polling.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

constexpr int kScanInterval = 60000;

bool ScanRunning() {
    return toolkit::platform::FileExists(toolkit::ProgramDir() + "netsweep.lck");
}

}  // namespace

void Scans::Start() {
    toolkit::StartDetached(NetsweepCommand(toolkit::kHostOs, {toolkit::ProgramDir(), ""}));
}

void Scans::StartUnlessRunning() {
    if (!ScanRunning()) Start();
}

void Scans::StartTimer() {
    timer_ = ctx_.timers.Every(kScanInterval, [this] { Tick(); });
}

void Scans::StopTimer() {
    ctx_.timers.Cancel(timer_);
}

void Scans::Tick() {
    if (StartsScan(ctx_.krv.ScanTick)) Start();
    ++ctx_.krv.ScanTick;
}

bool Scans::Running() const {
    return ScanRunning();
}

void Scans::ShowLight() {
    ctx_.view.ShowScanLight(ScanRunning() ? Light::Green : Light::Grey);
}

const toolkit::DeviceRecord* Scans::DeviceRecordNow() {
    const std::string path = toolkit::ProgramDir() + toolkit::kDeviceRecordFile;
    if (!toolkit::platform::FileExists(path)) return nullptr;
    try {
        return &recordFile_.Get(path, [&path] { return toolkit::LoadDeviceRecord(path); });
    } catch (const toolkit::FileError&) {
        return nullptr;  // netsweep replacing it: the next look reads it
    }
}

// Each sweep that netsweep recorded since the last look: the devices it saw
// for the first time. The first look only notes where the record stands:
// what was found before this start is no news.
void Scans::LookForNewDevices() {
    const toolkit::DeviceRecord* record = DeviceRecordNow();
    if (record == nullptr || !record->lastSweep || record->lastSweep == sweepLookedAt_) return;
    const bool firstLook = !sweepLookedAt_;
    sweepLookedAt_ = record->lastSweep;
    if (firstLook) return;
    const std::vector<toolkit::Device> found = NewDevices(*record);
    if (!found.empty()) notifications_.Tell(NewDevicesNotice(found));
}

}  // namespace korvane
