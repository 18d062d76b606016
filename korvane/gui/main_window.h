// The main window: it draws the map, the lights, the status bar and the
// console log that the app layer gives it, and forwards every click and menu
// command to the app layer (KorvaneApp). Handlers keep the names of the
// events they answer.
#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <optional>
#include <string>
#include <vector>

#include "korvane/app/view.h"
#include "widgets.h"

class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QScrollArea;
class QStatusBar;

namespace korvane {

class DesktopNotifier;
class KorvaneApp;

class TForm1 : public QMainWindow, public MainView {
  public:
    explicit TForm1(QWidget* parent = nullptr);
    // The app layer the handlers forward to; set once, before the start.
    void Attach(KorvaneApp& app) { app_ = &app; }
    KorvaneApp& App() const { return *app_; }

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

    // MainView
    void ShowMap(const MapState& map) override;
    void ShowScanLight(Light light) override;
    void ShowPollLight(Light light) override;
    void ShowStatus(const std::string& text) override;
    void AppendConsole(const std::string& line) override;
    void Warn(const std::string& text) override;
    void Inform(const std::string& text) override;
    bool AskYesNo(const std::string& question) override;
    void OpenUrl(const std::string& url) override;
    bool Notify(const Notice& notice) override;
    std::optional<std::string> AskLine(const std::string& prompt,
                                       const std::string& initial) override;
    CardAnswer AskCard(const EntryCard& card) override;
    void Open(Window window, const toolkit::TextList& entries) override;
    void ShowIntakeRows(const IntakeRows& rows) override;
    toolkit::TextList IntakeMemo() override;
    void Quit() override;

    // Handlers: the menus' commands go to the app as they are (KorvaneApp::Run).
    void machineClick(GlyphButton* sender);
    void routeurClick();

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildControls();
    void BuildPanel(QWidget* client);
    void BuildGateway(QWidget* client);
    void BuildMenus();
    void LoadPictures();
    void FormShow();
    void FormResize();
    void DrawGateway(const MapGateway& gateway);
    void DrawEntry(int entry, const MapEntry& cell);
    void CreateEntryButton(int entry, bool up);
    void CreateEntryCaptions(int entry);
    void RefreshEntryCaptions(int entry, const MapEntry& cell);
    void MarkProtected(int entry, bool isProtected);
    void GrowEntryTables(int entry);
    void DestroyEntryControls(int entry);
    void ShowEntryMenu(GlyphButton* button, const QPoint& where);
    void FitMapContent();

    KorvaneApp* app_ = nullptr;
    DesktopNotifier* notifier_ = nullptr;
    QScrollArea* mapArea_ = nullptr;
    QWidget* client_ = nullptr;
    bool shown_ = false;
    int entryCount_ = 0;      // the entries of the map last drawn
    int selectedEntry_ = -1;  // the entry the pop-up menu was opened on
};

}  // namespace korvane
