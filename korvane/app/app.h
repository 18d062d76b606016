// Korvane's behaviour, whatever window shows it: the start and the exit, the
// poll every 10 s and the scans, the power commands and their reports, the
// follow-ups and their incidents, the daily plan, the protected computers,
// the journal of states, and the commands of the menus and dialogs. A window
// layer (Qt, Win32) implements MainView, gives a Scheduler running on its
// loop, and calls these methods from its handlers; nothing here draws.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "korvane/app/clock.h"
#include "korvane/app/scheduler.h"
#include "korvane/app/view.h"
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

class CommandRunner;
class GatewayProbe;

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
    KorvaneApp(MainView& view, Scheduler& scheduler, const Clock& clock);
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
    const Settings& CurrentSettings() const { return krv_.settings; }
    void WindowResized(int height) { krv_.settings.height = height; }

    // --- the map and the timers ---
    const MapState& Map() const { return map_; }
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
    const TextList& ConsoleLines() const { return console_; }
    bool SaveConsole(const std::string& path);

    // --- single-host checks, as the follow-ups make them ---
    using RequestHandler = std::function<void(int slot)>;
    // Writes and starts the check script of `host` in a new slot, whose
    // handler then runs at every tick of the slot's timer until it calls
    // ReleaseRequest.
    void ExecPING_host(const std::string& host, const RequestHandler& handler);
    void ReleaseRequest(int slot);

    // --- for the window layers and the tests ---
    const KrvVar& Vars() const { return krv_; }
    const toolkit::host_params& LocalHost() const { return localHost_; }
    bool PendingRequests() const;
    std::size_t TimerCount() const { return scheduler_.Count(); }

  private:
    // start and exit (app.cpp)
    void LoadListFiles();
    void ReadLocalNetwork();
    void StartTimers();
    void SaveAtExit(const std::optional<WindowGeometry>& window);
    void Log(const std::string& line);
    void Status(const std::string& text);
    void ReportProblem(const std::string& cause, const std::string& message);
    void ProblemSolved(const std::string& cause);
    std::string EntryName(int entry) const;

    // timers (app.cpp)
    TimerId Every(int ms, TimerCallback callback);
    TimerId After(int ms, TimerCallback callback);
    void Cancel(TimerId& id);

    // polling (app_poll.cpp)
    void ExecPING_GM(const std::string& listName);
    void ReadPING_GM(int slot);
    void StartRequestTimer(int slot, int interval, const RequestHandler& handler);
    SlotFiles ArmSlot();
    int WatchSlot(int interval, const RequestHandler& handler);
    std::optional<SlotFiles> FinishSlot(int slot);
    void ReloadDiscoveryLists();
    void TraceTimers() const;

    // the map (app_map.cpp)
    MapEntry CellOf(std::size_t entry) const;
    std::string HintOf(const std::string& name) const;
    void ProbeGateway();

    // power commands (app_power.cpp)
    bool RemotePower(PowerAction action, const std::string& name, bool planned);
    bool RunPowerScript(PowerAction action, const std::string& name, const TextList& computers,
                        const std::vector<PowerCommand>& commands, bool planned);
    void ReadPowerReport(PowerAction action, const TextList& computers,
                         const std::vector<bool>& overSsh, bool planned, int slot);
    void Refuse(const std::string& refusal, bool planned);
    void ArmFollowUp(FollowKind kind, const std::string& name);

    // SSH settings and key (app_ssh.cpp)
    void FillSshCard(const std::string& name, EntryCard& card);

    // follow-ups (app_followup.cpp)
    void LaunchChecks(FollowKind kind, int position);
    void ReportCheck(FollowKind kind, const std::string& host, int slot);
    TextList& IncidentsOf(FollowKind kind);
    void OpenSavedReport(const std::string& path);

    // what changed, and telling the user (app_notices.cpp)
    void Tell(const Notice& notice);
    void TellIncident(FollowKind kind, const Incident& incident, const std::string& line);
    void TellUnseenIncidents();
    void LookForNewDevices();
    // netsweep's record of the devices seen, read again only when it changed;
    // null when there is none or it cannot be read now.
    const toolkit::DeviceRecord* DeviceRecordNow();

    // addresses another device took (app_holders.cpp)
    void LookAtAddressHolders();
    std::optional<OtherHolder> HolderBeforeShutdown(const std::string& computer);
    void StartScan();
    void StartScanNow();
    bool Displaced(const std::string& name) const;

    // the plan, protection and journal (app_plan.cpp)
    void StartPlanning();
    void StopPlanning();
    Lead LookAtLead();
    std::optional<std::string> ReloadPlan();
    bool RefuseProtectedShutdown(const std::string& name, bool planned,
                                 PowerAction action = PowerAction::Shutdown);
    void RecordStates();
    std::int64_t NowSeconds() const;

    MainView& view_;
    Scheduler& scheduler_;
    const Clock& clock_;
    KrvVar krv_;
    toolkit::host_params localHost_;
    MapState map_;
    bool started_ = false;
    bool windowless_ = false;
    bool ended_ = false;
    bool mapRebuild_ = false;

    std::set<TimerId> timers_;  // every timer of ours that may still run
    TimerId timer1_ = 0;
    TimerId timerRedraw_ = 0;
    TimerId timerPlan_ = 0;
    std::array<TimerId, 256> requests_{};  // the request timer of each slot

    TextList states_;  // the latest poll's result, as etats holds it
    // The entries whose address another device held at the latest poll.
    std::map<std::string, OtherHolder> displaced_;
    std::array<std::uint64_t, 256> pollOrder_{};
    std::uint64_t pollsStarted_ = 0;
    std::uint64_t pollShown_ = 0;
    PollProblems problems_;
    std::string status_;  // what the status bar shows now, as we put it there

    std::unique_ptr<CommandRunner> commands_;
    std::unique_ptr<GatewayProbe> gateway_;
    bool gatewayUp_ = false;

    std::map<std::string, std::string> comments_;  // each entry's comment, for the session
    TextList console_;
    bool noNotifierTold_ = false;
    FileCache<toolkit::DeviceRecord> recordFile_;
    std::optional<std::int64_t> sweepLookedAt_;  // the record's latest sweep already told

    // The plan and the protected list, read again only when their file changed.
    FileCache<Schedules> planFile_;
    FileCache<TextList> protectedFile_;
    Schedules plan_;
    TextList protected_;
    DailyTrigger trigger_;
    bool planElsewhereTold_ = false;
    std::unique_ptr<HistoryKeeper> history_;
};

}  // namespace korvane
