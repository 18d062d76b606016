// The main window: start-up and shutdown, the network map, the polling, the
// power commands with their follow-ups, the menus. Handlers keep the names of
// the events they answer; the decisions and the texts they write come from
// the window-free code (KrvVar, mapgrid, polling, power, followup, export,
// commands).
#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "filecache.h"
#include "followup.h"
#include "history.h"
#include "polling.h"
#include "power.h"
#include "reseau.h"
#include "schedule.h"
#include "widgets.h"

class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QScrollArea;
class QStatusBar;

namespace korvane {

// Collects one request when its timer ticks; receives that timer (tag = slot).
using RequestHandler = std::function<void(TTimer*)>;

// The clock the daily plan reads; tests steer it. An empty one is the
// system clock.
using PlanClock = std::function<std::chrono::system_clock::time_point()>;
void SetPlanClock(PlanClock clock);
// A map button's hint without the lines the plan and the protection add: the
// user's comment.
QString HintComment(const QWidget* button);
std::chrono::system_clock::time_point PlanNow();

class TForm1 : public QMainWindow {
  public:
    explicit TForm1(QWidget* parent = nullptr);  // FormCreate
    ~TForm1() override;                          // FormDestroy

    // Controls, named as in the designer.
    QFrame* Bevel1 = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* scan_led = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* ping_led = nullptr;
    GlyphButton* routeur = nullptr;
    QLabel* gw_nom = nullptr;
    QLabel* gw_ip = nullptr;
    QPlainTextEdit* console = nullptr;
    QStatusBar* StatusMain = nullptr;
    TTimer* Timer1 = nullptr;
    TTimer* TimerRedraw = nullptr;
    TTimer* TimerPlan = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* popupGM = nullptr;

    // The eight pictures, loaded once.
    QPixmap LedRed, LedGreen, LedOrange, LedGrey, ScreenOn, ScreenOff, BoxOn, BoxOff;

    // Per-entry map controls, indexed by entry; they grow with the inventory.
    std::vector<GlyphButton*> EntryButtons;
    std::vector<QFrame*> EntryFrames;
    std::vector<QLabel*> NameCaptions;
    std::vector<QLabel*> IpCaptions;
    std::vector<QLabel*> MacCaptions;

    int LastEntry = -1;
    toolkit::host_params LocalHost;
    std::array<TTimer*, 256> PingTimers{};

    void Redraw_network();
    void ExecPING_GM(const std::string& listName, const RequestHandler& handler);
    void ReadPING_GM(TTimer* timer);
    void ExecPING_host(const std::string& host, const RequestHandler& handler);
    void TimerRedrawTimer();
    void Timer1Timer();
    void machineClick(GlyphButton* sender);
    void PowerUp(const std::string& name);
    void Shutdown(const std::string& name);
    void FollowDownLaunch(TTimer* timer);
    void FollowDownReport(TTimer* timer);
    void FollowUpLaunch(TTimer* timer);
    void FollowUpReport(TTimer* timer);
    void routeurClick();
    void Quitter1Click();
    void Prfrences1Click();
    void Dfinir1Click();
    void Nejamaisteindre1Click();
    void Listemachines1Click();
    void Commentaire1Click();
    void Renommer1Click();
    void IncidentsWOL1Click();
    void Incidentsshutdown1Click();
    void Console1Click();
    void Consommation1Click();
    void ConsommationEntry1Click();
    void Apropos1Click();
    // Runs the plan's actions due now, through the buttons' own paths.
    void TimerPlanTimer();

    // Stops and frees the timer of a slot; a handler calls it once it has
    // read its result.
    void ReleasePingTimer(int slot);

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormCreate();
    void BuildControls();
    void BuildPanel(QWidget* client);
    void BuildGateway(QWidget* client);
    void BuildMenus();
    void BuildTimers();
    void LoadPictures();
    QPixmap LoadPicture(const char* file, int width);
    void LoadListFiles();
    void ReadLocalNetwork();
    void FormShow();
    void ShowComingSoon();
    void FormResize();
    void RedrawGateway();
    void DestroyEntryControls(int entry);
    void DrawEntry(int entry, const toolkit::TextList& etats);
    void CreateEntryButton(int entry, bool up);
    void CreateEntryCaptions(int entry);
    void RefreshEntryCaptions(int entry, const std::string& name);
    void GrowEntryTables(int entry);
    void SaveAtExit();
    bool RunPowerScript(PowerAction action, const std::string& name,
                        const toolkit::TextList& computers,
                        const std::vector<PowerCommand>& commands);
    void ReadPowerReport(PowerAction action, const toolkit::TextList& computers, TTimer* timer);
    TTimer* StartRequestTimer(int slot, int interval, const RequestHandler& handler);
    void ArmFollowUp(FollowKind kind, const std::string& name);
    void LaunchChecks(FollowKind kind, TTimer* timer);
    void ReportCheck(FollowKind kind, TTimer* timer);
    void SaveAndOpenReport(FollowKind kind);
    void OpenSavedReport(const std::string& path);
    void ShowEntryMenu(GlyphButton* button, const QPoint& where);
    void Log(const std::string& line);
    void StartPlanning();
    void StopPlanning();
    void RecordStates(const toolkit::TextList& etats);
    void DecorateEntry(int entry, const std::string& name);
    // A protected entry is not shut down: the refusal is told and logged.
    bool RefuseProtectedShutdown(const std::string& name);
    void OpenEnergyReport(const toolkit::TextList& names);
    void ReportError(const std::string& message);
    void PlaceOnScreens();
    // The status bar tells what stops the polling, once per cause.
    void ReportProblem(const std::string& cause, const std::string& message);
    void ProblemSolved(const std::string& cause);

    void FitMapContent();

    QScrollArea* mapArea_ = nullptr;
    QWidget* client_ = nullptr;
    bool shown_ = false;
    std::vector<std::string> missingPictures_;
    PollProblems problems_;
    DailyTrigger trigger_;
    bool planElsewhereTold_ = false;
    std::unique_ptr<HistoryKeeper> history_;
    FileCache<Schedules> planFile_;
    FileCache<toolkit::TextList> protectedFile_;
    std::array<std::string, 256> checkedHosts_;  // the host each check slot probes
    std::map<std::string, QString> comments_;  // each entry's comment, for the session
    std::array<std::uint64_t, 256> pollOrder_{};  // when each slot's poll started
    std::uint64_t pollsStarted_ = 0;
    std::uint64_t pollShown_ = 0;  // the latest poll whose result the map shows
};

}  // namespace korvane
