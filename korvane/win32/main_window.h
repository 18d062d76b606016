// The main window on Windows: it draws the map, the lights, the status bar
// and the console log that the app layer gives it, and forwards every click
// and menu command to the app layer (KorvaneApp), as the Qt window does.
// Handlers keep the names of the events they answer.
#pragma once

// windows.h first: shellapi.h needs its types.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "korvane/app/app.h"
#include "korvane/app/view.h"
#include "pictures.h"

namespace korvane::win32 {

class TAddMachine;
class TConsole;
class TEnergyReport;

class TForm1 : public MainView {
  public:
    TForm1();
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Makes the window, hidden, with its controls, menus and pictures.
    bool Create();
    // The app layer the handlers forward to; set once, before the start.
    void Attach(KorvaneApp& app) { app_ = &app; }
    // The first showing, at the place and height of the settings.
    void FormShow();
    // Called when the session ends (the window gets no later message).
    void OnEndSession(std::function<void()> end) { endSession_ = std::move(end); }
    // The window's place for the settings, its normal place when minimised.
    WindowGeometry Geometry() const;
    void Destroy();
    HWND Handle() const { return window_; }
    // Accelerators of the main window, and the keys of its modeless windows.
    bool PreTranslate(MSG& message);
    TEnergyReport* EnergyReport() const { return energy_.get(); }

    // The app layer, for the demonstration's seams.
    KorvaneApp& App() const { return *app_; }
    // The menus and keys as built from the app's table, for the tests.
    HMENU EntryMenu() const { return popupGM; }
    HACCEL Accelerators() const { return accelerators_; }

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
    void Open(Window window, const TextList& entries) override;
    void ShowIntakeRows(const IntakeRows& rows) override;
    TextList IntakeMemo() override;
    void Quit() override;

    // Handlers: the menus' commands go to the app as they are (KorvaneApp::Run).
    void machineClick(int entry);
    void routeurClick();

  private:
    // Per-entry map controls, indexed by entry; they grow with the inventory.
    struct EntryControls {
        HWND button = nullptr;
        HWND name = nullptr;
        HWND ip = nullptr;
        HWND mac = nullptr;
        Cell cell;  // its place, set when made
        const Picture* glyph = nullptr;
        bool isProtected = false;
        bool addressTaken = false;  // the address caption in red
        std::wstring hint;
    };

    static LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK MapProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCommand(int id);
    LRESULT DrawItem(const DRAWITEMSTRUCT& item);
    LRESULT ColourStatic(HWND control, HDC dc);
    void ShowEntryMenu(HWND button, LPARAM where);
    void NoticeClicked();

    void BuildControls();
    void BuildPanel();
    void BuildGateway();
    void BuildMenus();
    void FormResize();
    int MinimumHeight() const;
    void FitWindow(const MapState& map);
    void FitMapContent();
    void Scroll(int position);
    void ScrollBy(int lines, int pixels);

    void DrawGateway(const MapGateway& gateway);
    void DrawEntry(int entry, const MapEntry& cell);
    void CreateEntryControls(int entry, bool up);
    void RefreshEntryCaptions(int entry, const MapEntry& cell);
    void DestroyEntryControls(int entry);
    void SetGlyph(HWND button, const Picture*& glyph, bool up, const Picture& on,
                  const Picture& off);
    int EntryOf(HWND button) const;

    KorvaneApp* app_ = nullptr;
    HWND window_ = nullptr;
    HWND mapView_ = nullptr;  // the map's view, which scrolls
    HWND surface_ = nullptr;  // what it shows
    HWND Panel1 = nullptr;
    HWND Label1 = nullptr;
    HWND scan_led = nullptr;
    HWND Label2 = nullptr;
    HWND ping_led = nullptr;
    HWND routeur = nullptr;
    HWND gw_nom = nullptr;
    HWND gw_ip = nullptr;
    HWND console = nullptr;
    HWND StatusMain = nullptr;
    HWND tooltip_ = nullptr;
    HMENU MainMenu1 = nullptr;
    HMENU popupGM = nullptr;
    HACCEL accelerators_ = nullptr;

    Pictures pictures_;
    const Picture* scanLight_ = nullptr;
    const Picture* pollLight_ = nullptr;
    const Picture* routeurGlyph_ = nullptr;
    std::vector<EntryControls> entries_;
    int entryCount_ = 0;      // the entries of the map last drawn
    int selectedEntry_ = -1;  // the entry the pop-up menu was opened on
    int scroll_ = 0;
    int nbyrow_ = 3;
    std::function<void()> endSession_;
    // The notification area's icon, made at the first notification: its
    // balloons tell the notices, and a click opens what the last one speaks of.
    NOTIFYICONDATAW trayIcon_{};
    bool trayShown_ = false;
    std::optional<Notice> lastNotice_;
    std::unique_ptr<TConsole> console_;
    std::unique_ptr<TEnergyReport> energy_;
    TAddMachine* intake_ = nullptr;  // while the intake dialog is shown
};

// The screens' free areas, the primary one first.
std::vector<Rect> Screens();

}  // namespace korvane::win32
