// KorvaneApp's public methods that belong to one feature, each forwarded to
// the feature that owns it.
#include "korvane/app/app.h"

namespace korvane {

// --- the on/off dialog ------------------------------------------------------

void KorvaneApp::Wake(int entry) {
    ActOnEntry(PowerAction::WakeUp, entry);
}

void KorvaneApp::ShutDown(int entry) {
    ActOnEntry(PowerAction::Shutdown, entry);
}

void KorvaneApp::Reboot(int entry) {
    ActOnEntry(PowerAction::Restart, entry);
}

void KorvaneApp::TestAccess(int entry) {
    ActOnEntry(PowerAction::TestAccess, entry);
}

void KorvaneApp::ActOnEntry(PowerAction action, int entry) {
    const std::string name = ctx_.EntryName(entry);
    if (!name.empty()) power_.Run(action, name);
}

bool KorvaneApp::PowerUp(const std::string& name, bool planned) {
    return power_.Run(PowerAction::WakeUp, name, planned);
}

bool KorvaneApp::Shutdown(const std::string& name, bool planned) {
    return power_.Run(PowerAction::Shutdown, name, planned);
}

bool KorvaneApp::Restart(const std::string& name, bool planned) {
    return power_.Run(PowerAction::Restart, name, planned);
}

bool KorvaneApp::TestAccess(const std::string& name) {
    return power_.Run(PowerAction::TestAccess, name);
}

// --- the rest ----------------------------------------------------------------

void KorvaneApp::Redraw_network() {
    map_.Redraw();
}

void KorvaneApp::TimerPlanTimer() {
    planner_.Tick();
}

void KorvaneApp::routeurClick() {
    gateway_.OpenPage();
}

void KorvaneApp::ExecPING_host(const std::string& host, const RequestHandler& handler) {
    requests_.ExecPING_host(host, handler);
}

void KorvaneApp::ReleaseRequest(int slot) {
    requests_.Release(slot);
}

void KorvaneApp::OpenIncidents(FollowKind kind) {
    followUps_.OpenIncidents(kind);
}

bool KorvaneApp::PendingRequests() const {
    return requests_.Pending();
}

bool KorvaneApp::SaveConsole(const std::string& path) {
    return ctx_.console.Save(path);
}

}  // namespace korvane
