// Korvane's behaviour, whatever window shows it. A window layer (Qt, Win32,
// the window-free planner) implements MainView, gives a Scheduler running on
// its loop, and calls these methods from its handlers; nothing here draws.
// KorvaneApp makes the features below, orders the start and the exit, runs
// the 10-second tick that touches several of them, and forwards every other
// method to the feature that owns it. Each feature owns its state and is
// given, when made, the context and the features it uses:
//   AppContext      app_context.h     view, clock, timers, console log and status bar,
//                                     lists and settings (KrvVar), local network
//   Requests        requests.h        the request slots and their timers, the checks
//   Notifications   notifications.h   desktop notifications, a windowless run's incidents
//   Scans           scans.h           netsweep, the minute timer, the record of devices
//   AddressHolders  address_holders.h entries whose address another device took
//   FollowUps       follow_ups.h      the checks after a command, the incidents
//   PowerCommands   power_commands.h  wake-up, shutdown, restart, access test
//   Poller          poller.h          the 10-second poll and the states
//   Gateway         gateway.h         the gateway's probe and page
//   Journal         journal.h         the journal of states
//   Planner         planner.h         the daily plan, the protected list
//   NetworkMap      network_map.h     the map's cells and hints, the comments
//   EntryDialog     entry_dialog.h    the on/off dialog's card and SSH setting
//   Menus           menus.h           protection, SSH key, machine list, renaming,
//                                     comments, preferences
//   IntakeDialog    intake_dialog.h   the intake dialog
//   EnergyReports   energy_reports.h  the energy report
//   CommandRunner   app_commands.h    the windows' commands (command_table.h), the
//                                     clicks of entries and notifications, over the
//                                     public methods below
//   WebFeature      web_feature.h     the access from the network: the board's
//                                     snapshot and actions, serving when leading
// startup.h holds what the start reads and the exit writes besides them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "korvane/app/address_holders.h"
#include "korvane/app/app_commands.h"
#include "korvane/app/app_context.h"
#include "korvane/app/clock.h"
#include "korvane/app/energy_reports.h"
#include "korvane/app/entry_dialog.h"
#include "korvane/app/follow_ups.h"
#include "korvane/app/gateway.h"
#include "korvane/app/intake_dialog.h"
#include "korvane/app/journal.h"
#include "korvane/app/menus.h"
#include "korvane/app/network_map.h"
#include "korvane/app/notifications.h"
#include "korvane/app/planner.h"
#include "korvane/app/poller.h"
#include "korvane/app/power_commands.h"
#include "korvane/app/requests.h"
#include "korvane/app/scans.h"
#include "korvane/app/scheduler.h"
#include "korvane/app/view.h"
#include "korvane/app/web_feature.h"
#include "korvane/app/web_preferences.h"
#include "korvane/app/web_serving.h"
#include "korvane/core/KrvVar.h"
#include "korvane/core/addressholder.h"
#include "korvane/core/energy.h"
#include "korvane/core/filecache.h"
#include "korvane/core/folderlead.h"
#include "korvane/core/followup.h"
#include "korvane/core/history.h"
#include "korvane/core/intake.h"
#include "korvane/core/notices.h"
#include "korvane/core/placement.h"
#include "korvane/core/polling.h"
#include "korvane/core/power.h"
#include "korvane/core/schedule.h"
#include "reseau.h"

namespace korvane {

// The window's place when Korvane ends; nothing for a Korvane without window,
// whose saved place stays as it was.
struct WindowGeometry {
    int left = 0;
    int top = 0;
    int height = 0;
};

// The preferences dialog's fields, as typed.
struct Preferences {
    std::string nbyrow;
    std::string delay;
    std::string comment;
    NoticeSettings notices;
};

// The energy report of some entries over the last days.
struct EnergyReport {
    std::vector<EnergyRow> rows;
    TextList dayLabels;  // "dd/mm/yyyy", one per day
    // "Énergie estimée sur la période : 1,25 kWh", every row's energy.
    std::string TotalText() const;
    // The top of the chart's hours axis: the longest day's hours rounded
    // up, 1 to 24.
    int HoursCeiling() const;
};

class KorvaneApp {
  public:
    // `serving` makes the server of the access from the network (the
    // program file gives korvane/web's); without one nothing is served.
    KorvaneApp(MainView& view, Scheduler& scheduler, const Clock& clock,
               WebServingMaker serving = {});
    ~KorvaneApp();
    KorvaneApp(const KorvaneApp&) = delete;
    KorvaneApp& operator=(const KorvaneApp&) = delete;

    // --- start and exit ---
    // The program folder becomes the current folder, what a killed run left
    // goes, the lists and settings are read, netsweep and the first poll
    // start, the map is drawn and the timers run. `screens` (the primary
    // first) bring a saved place that no screen shows back into sight.
    // A Korvane without window (`windowless`) keeps its incidents in the
    // program folder until a window's start tells them.
    void Start(const std::vector<Rect>& screens = {}, bool windowless = false);
    // The timers stop, krv.ini and settings.ini are written (a failure is
    // told), and the slot files go. Runs once; later calls do nothing.
    void Exit(const std::optional<WindowGeometry>& window);
    const Settings& CurrentSettings() const { return ctx_.krv.settings; }
    void WindowResized(int height) { ctx_.krv.settings.height = height; }

    // --- the map and the timers ---
    const MapState& Map() const { return map_.State(); }
    void Redraw_network();
    void TimerRedrawTimer();  // every 10 s: the poll list, a poll, the lists again
    void Timer1Timer();       // every 60 s: netsweep on every 9th tick
    void TimerPlanTimer();    // every 15 s: the plan's due actions
    void routeurClick();      // the gateway's page

    // --- the on/off dialog ---
    std::optional<EntryCard> Card(int entry);
    // Saves the times typed; a time that does not parse keeps the saved one
    // and is told.
    void SavePlanTimes(int entry, const std::string& wakeUp, const std::string& shutdown);
    // Saves the SSH setting as the dialog shows it; a user name refused is
    // told and the saved setting kept. False when nothing was saved.
    bool SaveSshSetting(int entry, bool overSsh, const std::string& user);
    void Wake(int entry);
    void ShutDown(int entry);
    void Reboot(int entry);
    // "Tester l'accès": each computer of the entry is asked something harmless
    // through the shutdown's account and service (or SSH key); the answer is
    // told in the status bar and the console. Nothing is shut down.
    void TestAccess(int entry);
    // The same by name, as the plan and the demonstration act; a planned
    // command that fails is told by a notification. False when refused.
    bool PowerUp(const std::string& name, bool planned = false);
    bool Shutdown(const std::string& name, bool planned = false);
    bool Restart(const std::string& name, bool planned = false);
    bool TestAccess(const std::string& name);

    // --- the commands of the windows (app_commands.cpp) ---
    // A menu command; `entry` is the entry the pop-up menu was opened on.
    // Dialogs and windows are asked of the view; the map is drawn again
    // after the preferences and the intake dialog, however they closed.
    void Run(Command command, int entry = -1);
    // A click on an entry's map button: its on/off dialog, whose times and
    // SSH setting are saved however it closed, then what was chosen.
    void EntryClicked(int entry);
    // A click on a notification opens what it speaks of: the intake dialog
    // (new devices), the incidents report of its kind, or the console (a
    // planned action that failed).
    void NoticeClicked(const Notice& notice);

    // --- the menus ---
    // "Ne jamais éteindre...": the name typed joins the protected list, or
    // leaves it when it is there and the user agrees.
    void Protect(const std::string& typed);
    // "Créer la clé SSH": makes Korvane's key when it has none (ssh-keygen),
    // then shows its public half, to be copied to the computers.
    void CreateSshKey();
    void ExportMachineList();                // "Liste machines"
    void OpenIncidents(FollowKind kind);     // "Incidents WOL", "Incidents shutdown"
    std::string CommentOf(int entry) const;  // "Commentaire"
    void SetComment(int entry, const std::string& text);
    std::string NameOf(int entry) const;  // "Renommer"
    void Rename(int entry, const std::string& typed);
    Preferences CurrentPreferences();
    // False when a field is refused (told): the dialog stays open.
    bool SavePreferences(const Preferences& typed);

    // --- the intake dialog ---
    // Its opening: the logon server for an empty pdc, and the memo's lines
    // (localGM), or nothing when there is none to show.
    std::optional<TextList> IntakeOpened();
    // Its rows at a tick; nothing when the discovery list cannot be read now.
    std::optional<IntakeRows> IntakeRefresh(const TextList& memo);
    // OK: false when a line or a write is refused (told): the dialog stays open.
    bool IntakeOk(const TextList& memo);

    // --- the energy report ---
    EnergyReport Energy(const TextList& names, int days);
    // False when the typed draw is refused (told).
    bool SetPowerDraw(const std::string& name, const std::string& typed);
    bool ExportEnergy(const EnergyReport& report);

    // --- the console window ---
    const TextList& ConsoleLines() const { return ctx_.console.Lines(); }
    bool SaveConsole(const std::string& path);

    // --- single-host checks, as the follow-ups make them ---
    using RequestHandler = std::function<void(int slot)>;
    // Writes and starts the check script of `host` in a new slot, whose
    // handler then runs at every tick of the slot's timer until it calls
    // ReleaseRequest.
    void ExecPING_host(const std::string& host, const RequestHandler& handler);
    void ReleaseRequest(int slot);

    // --- the access from the network ---
    WebFeature& Web() { return web_; }
    // The preferences' "Accès depuis le réseau" and "Garder Korvane actif".
    WebPreferences& WebPrefs() { return webPrefs_; }

    // --- for the window layers and the tests ---
    const KrvVar& Vars() const { return ctx_.krv; }
    const toolkit::host_params& LocalHost() const { return ctx_.localHost; }
    bool PendingRequests() const;
    std::size_t TimerCount() const { return ctx_.timers.Waiting(); }

  private:
    void StartTimers();
    // Each poll's states: who holds each address, the map, the journal.
    void PollEnded();
    // The on/off dialog's commands, for the entry at a map position.
    void ActOnEntry(PowerAction action, int entry);

    // In the order of their needs: each is made after those it uses.
    AppContext ctx_;
    Requests requests_;
    Notifications notifications_;
    Scans scans_;
    AddressHolders holders_;
    FollowUps followUps_;
    PowerCommands power_;
    Poller poller_;
    Gateway gateway_;
    Journal journal_;
    Planner planner_;
    NetworkMap map_;
    EntryDialog entryDialog_;
    Menus menus_;
    IntakeDialog intake_;
    EnergyReports energy_;
    TimerId timerRedraw_ = 0;
    CommandRunner commands_;  // over the public methods
    WebFeature web_;          // reads the others: made last, gone first
    WebPreferences webPrefs_;
    bool started_ = false;
    bool ended_ = false;
};

}  // namespace korvane
