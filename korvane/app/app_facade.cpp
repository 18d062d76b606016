// KorvaneApp's public methods that belong to one feature, each forwarded to
// the feature that owns it, in app.h's order.
#include "korvane/app/app.h"

namespace korvane {

namespace {

CommandOrigin Origin(bool planned) {
    return planned ? CommandOrigin::Plan : CommandOrigin::Window;
}

}  // namespace

// --- the map and the timers ------------------------------------------------

// The web page shows what the map shows.
void KorvaneApp::Redraw_network() {
    map_.Redraw();
    web_.Publish();
}

void KorvaneApp::Timer1Timer() {
    scans_.Tick();
}

void KorvaneApp::TimerPlanTimer() {
    planner_.Tick();
}

void KorvaneApp::routeurClick() {
    gateway_.OpenPage();
}

// --- the on/off dialog -----------------------------------------------------

std::optional<EntryCard> KorvaneApp::Card(int entry) {
    return entryDialog_.Card(entry);
}

// Saved before "ON" or "OFF" acts, so the map's hint already shows it.
void KorvaneApp::SavePlanTimes(int entry, const std::string& wakeUp, const std::string& shutdown) {
    const std::string name = ctx_.EntryName(entry);
    if (!name.empty()) planner_.SaveTimes(name, wakeUp, shutdown);
}

bool KorvaneApp::SaveSshSetting(int entry, bool overSsh, const std::string& user) {
    return entryDialog_.SaveSshSetting(entry, overSsh, user);
}

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
    return power_.Run(PowerAction::WakeUp, name, Origin(planned));
}

bool KorvaneApp::Shutdown(const std::string& name, bool planned) {
    return power_.Run(PowerAction::Shutdown, name, Origin(planned));
}

bool KorvaneApp::Restart(const std::string& name, bool planned) {
    return power_.Run(PowerAction::Restart, name, Origin(planned));
}

bool KorvaneApp::TestAccess(const std::string& name) {
    return power_.Run(PowerAction::TestAccess, name);
}

// --- the menus -------------------------------------------------------------

void KorvaneApp::Protect(const std::string& typed) {
    menus_.Protect(typed);
}

void KorvaneApp::CreateSshKey() {
    menus_.CreateSshKey();
}

void KorvaneApp::ExportMachineList() {
    menus_.ExportMachineList();
}

void KorvaneApp::OpenIncidents(FollowKind kind) {
    followUps_.OpenIncidents(kind);
}

std::string KorvaneApp::CommentOf(int entry) const {
    return map_.CommentOf(ctx_.EntryName(entry));
}

void KorvaneApp::SetComment(int entry, const std::string& text) {
    menus_.SetComment(entry, text);
}

std::string KorvaneApp::NameOf(int entry) const {
    return ctx_.EntryName(entry);
}

void KorvaneApp::Rename(int entry, const std::string& typed) {
    menus_.Rename(entry, typed);
}

Preferences KorvaneApp::CurrentPreferences() {
    return menus_.CurrentPreferences();
}

bool KorvaneApp::SavePreferences(const Preferences& typed) {
    return menus_.SavePreferences(typed);
}

// --- the intake dialog -----------------------------------------------------

std::optional<TextList> KorvaneApp::IntakeOpened() {
    return intake_.Opened();
}

std::optional<IntakeRows> KorvaneApp::IntakeRefresh(const TextList& memo) {
    return intake_.Refresh(memo);
}

bool KorvaneApp::IntakeOk(const TextList& memo) {
    return intake_.Ok(memo);
}

// --- the energy report -----------------------------------------------------

EnergyReport KorvaneApp::Energy(const TextList& names, int days) {
    return energy_.Report(names, days);
}

bool KorvaneApp::SetPowerDraw(const std::string& name, const std::string& typed) {
    return energy_.SetPowerDraw(name, typed);
}

bool KorvaneApp::ExportEnergy(const EnergyReport& report) {
    return energy_.Export(report);
}

// --- the console window ----------------------------------------------------

bool KorvaneApp::SaveConsole(const std::string& path) {
    return ctx_.console.Save(path);
}

// --- single-host checks ----------------------------------------------------

void KorvaneApp::ExecPING_host(const std::string& host, const RequestHandler& handler) {
    requests_.ExecPING_host(host, handler);
}

void KorvaneApp::ReleaseRequest(int slot) {
    requests_.Release(slot);
}

bool KorvaneApp::PendingRequests() const {
    return requests_.Pending();
}

}  // namespace korvane
