#include "main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "controls.h"
#include "dialogs.h"
#include "korvane/app/texts.h"
#include "messages.h"
#include "test_hook.h"

namespace korvane::win32 {

namespace {

constexpr const wchar_t* kMainClass = L"KorvaneMain";
constexpr const wchar_t* kSurfaceClass = L"KorvaneSurface";
constexpr const wchar_t* kPanelClass = L"KorvanePanel";
constexpr const wchar_t* kMapClass = L"KorvaneCarte";

// Design geometry of the main window (96 DPI).
constexpr int kDesignLeft = 198, kDesignTop = 103, kDesignWidth = 556, kDesignHeight = 254;
constexpr Rect kPanel{0, 0, 417, 25};
constexpr Rect kScanLabel{88, 4, 100, 17};
constexpr Rect kScanLed{192, 3, 20, 20};
constexpr Rect kPollLabel{280, 4, 78, 17};
constexpr Rect kPollLed{360, 3, 20, 20};
constexpr Rect kRouteur{64, 52, 70, 60};  // its lower edge meets gw_nom
constexpr Rect kGatewayName{48, 112, 97, 15};
constexpr Rect kGatewayIp{48, 127, 97, 15};
constexpr Rect kConsole{256, 152, 289, 81};
constexpr int kPanelMargin = 8;
constexpr int kConsoleBottom = 80;

enum Command : int {
    kQuitter = 100,
    kPreferences,
    kAjouter,
    kNeJamais,
    kIncidentsWol,
    kIncidentsShutdown,
    kListeMachines,
    kConsoleCommand,
    kConsommation,
    kAPropos,
    kCommentaire,
    kRenommer,
    kConsommationEntry,
    kCleSsh,
};
constexpr int kRouteurId = 200;

// A menu text with its mnemonic (the letter at `mnemonic`) and its keys.
std::wstring MenuText(const char* text, std::size_t mnemonic, const wchar_t* keys = nullptr) {
    std::wstring wide = W(text);
    wide.insert(std::min(mnemonic, wide.size()), 1, L'&');
    if (keys != nullptr) wide += std::wstring(L"\t") + keys;
    return wide;
}

void Register(const wchar_t* name, WNDPROC proc, HBRUSH background) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    RegisterClassExW(&windowClass);
}

BOOL CALLBACK AddScreen(HMONITOR monitor, HDC, LPRECT, LPARAM screens) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) return TRUE;
    const RECT& area = info.rcWork;
    auto& list = *reinterpret_cast<std::vector<Rect>*>(screens);
    const Rect screen{area.left, area.top, area.right - area.left, area.bottom - area.top};
    if ((info.dwFlags & MONITORINFOF_PRIMARY) != 0) {
        list.insert(list.begin(), screen);
    } else {
        list.push_back(screen);
    }
    return TRUE;
}

}  // namespace

std::vector<Rect> Screens() {
    std::vector<Rect> screens;
    EnumDisplayMonitors(nullptr, nullptr, AddScreen, reinterpret_cast<LPARAM>(&screens));
    return screens;
}

TForm1::TForm1() = default;

TForm1::~TForm1() {
    Destroy();
}

// --- creation ----------------------------------------------------------

bool TForm1::Create() {
    Register(kMainClass, MainProc, BrushOf(kCream));
    Register(kSurfaceClass, ChildProc, BrushOf(kCream));
    Register(kPanelClass, ChildProc, GetSysColorBrush(COLOR_BTNFACE));
    Register(kMapClass, MapProc, BrushOf(kCream));
    BuildMenus();
    RECT outer{0, 0, Px(kDesignWidth), Px(kDesignHeight)};
    AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, TRUE, 0);
    window_ = CreateWindowExW(0, kMainClass, W(text::kTitle).c_str(),
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, kDesignLeft, kDesignTop,
                              outer.right - outer.left, outer.bottom - outer.top, nullptr,
                              MainMenu1, GetModuleHandleW(nullptr), this);
    if (window_ == nullptr) return false;
    hook::Name(window_, "Form1");
    pictures_.Load(ProgramFolder());
    BuildControls();
    routeurGlyph_ = &pictures_.BoxOff;
    scanLight_ = &pictures_.LedGrey;
    pollLight_ = &pictures_.LedGrey;
    hook::State(routeur, "off");
    if (!pictures_.missing.empty()) {
        ShowStatus("Images introuvables ou illisibles : " + pictures_.missing);
    }
    return true;
}

void TForm1::BuildControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    mapView_ =
        CreateWindowExW(0, kMapClass, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_CLIPCHILDREN, 0,
                        0, 0, 0, window_, nullptr, instance, this);
    surface_ = CreateWindowExW(0, kSurfaceClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                               0, 0, mapView_, nullptr, instance, this);
    hook::Name(mapView_, "carte");
    BuildPanel();
    BuildGateway();
    console = MakeControl(surface_, L"EDIT", L"",
                          ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, kConsole, 0,
                          "console");
    SendMessageW(console, EM_SETLIMITTEXT, 0, 0);
    StatusMain = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP,
                                 0, 0, 0, 0, window_, nullptr, instance, nullptr);
    SendMessageW(StatusMain, SB_SIMPLE, TRUE, 0);
    SetFont(StatusMain, UiFont());
    hook::Name(StatusMain, "StatusMain");
    tooltip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);
    SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_INITIAL, kHintDelay);
    SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, kHintDisplayTime);
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, Px(320));
}

void TForm1::BuildPanel() {
    Panel1 = MakeControl(surface_, kPanelClass, L"", WS_VISIBLE | WS_BORDER, kPanel, 0, "Panel1");
    SetWindowLongPtrW(Panel1, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    Label1 = MakeControl(Panel1, L"STATIC", W(text::kScanLight), WS_VISIBLE | SS_LEFTNOWORDWRAP,
                         kScanLabel, 0, "Label1");
    scan_led =
        MakeControl(Panel1, L"STATIC", L"", WS_VISIBLE | SS_OWNERDRAW, kScanLed, 0, "scan_led");
    Label2 = MakeControl(Panel1, L"STATIC", W(text::kPollLight), WS_VISIBLE | SS_LEFTNOWORDWRAP,
                         kPollLabel, 0, "Label2");
    ping_led =
        MakeControl(Panel1, L"STATIC", L"", WS_VISIBLE | SS_OWNERDRAW, kPollLed, 0, "ping_led");
    hook::State(scan_led, "gris");
    hook::State(ping_led, "gris");
}

void TForm1::BuildGateway() {
    routeur = MakeControl(surface_, L"BUTTON", L"", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                          kRouteur, kRouteurId, "routeur");
    SetFont(routeur, BoldFont());
    gw_nom = MakeControl(surface_, L"STATIC", L"nom", WS_VISIBLE | SS_CENTER | SS_NOPREFIX,
                         kGatewayName, 0, "gw_nom");
    SetFont(gw_nom, BoldFont());
    gw_ip = MakeControl(surface_, L"STATIC", L"ip", WS_VISIBLE | SS_CENTER | SS_NOPREFIX,
                        kGatewayIp, 0, "gw_ip");
}

void TForm1::BuildMenus() {
    MainMenu1 = CreateMenu();
    auto menu = [this](const char* text, std::size_t mnemonic) {
        HMENU sub = CreatePopupMenu();
        AppendMenuW(MainMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(sub),
                    MenuText(text, mnemonic).c_str());
        return sub;
    };
    auto add = [](HMENU sub, int id, const char* text, std::size_t mnemonic, const wchar_t* keys) {
        AppendMenuW(sub, MF_STRING, static_cast<UINT_PTR>(id),
                    MenuText(text, mnemonic, keys).c_str());
    };
    HMENU fichier = menu(text::kMenuFile, 0);
    add(fichier, kQuitter, text::kMenuQuit, 0, L"Ctrl+Q");
    HMENU edition = menu(text::kMenuEdit, 0);
    add(edition, kPreferences, text::kMenuPreferences, 0, L"Ctrl+P");
    HMENU ordinateurs = menu(text::kMenuComputers, 0);
    add(ordinateurs, kAjouter, text::kMenuAdd, 0, L"Ctrl+N");
    add(ordinateurs, kNeJamais, text::kMenuNeverOff, 0, L"Ctrl+J");
    add(ordinateurs, kCleSsh, text::kMenuSshKey, 0, nullptr);
    HMENU rapports = menu(text::kMenuReports, 0);
    add(rapports, kIncidentsWol, text::kMenuWolIncidents, 10, L"Ctrl+I");
    add(rapports, kIncidentsShutdown, text::kMenuShutdownIncidents, 10, L"Ctrl+Maj+I");
    add(rapports, kListeMachines, text::kMenuMachineList, 0, L"Ctrl+L");
    add(rapports, kConsoleCommand, text::kMenuConsole, 0, L"Ctrl+K");
    add(rapports, kConsommation, text::kMenuEnergy, 1, L"Ctrl+E");
    HMENU aide = menu(text::kMenuHelp, 0);
    add(aide, kAPropos, text::kMenuAbout, 0, L"F1");

    popupGM = CreatePopupMenu();
    add(popupGM, kCommentaire, text::kMenuComment, 0, nullptr);
    add(popupGM, kRenommer, text::kMenuRename, 0, nullptr);
    add(popupGM, kConsommationEntry, text::kMenuEnergy, 1, nullptr);

    ACCEL keys[] = {
        {FCONTROL | FVIRTKEY, 'Q', kQuitter},
        {FCONTROL | FVIRTKEY, 'P', kPreferences},
        {FCONTROL | FVIRTKEY, 'N', kAjouter},
        {FCONTROL | FVIRTKEY, 'J', kNeJamais},
        {FCONTROL | FVIRTKEY, 'I', kIncidentsWol},
        {FCONTROL | FSHIFT | FVIRTKEY, 'I', kIncidentsShutdown},
        {FCONTROL | FVIRTKEY, 'L', kListeMachines},
        {FCONTROL | FVIRTKEY, 'K', kConsoleCommand},
        {FCONTROL | FVIRTKEY, 'E', kConsommation},
        {FVIRTKEY, VK_F1, kAPropos},
    };
    accelerators_ = CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys)));
}

// --- the view ------------------------------------------------------------

void TForm1::ShowScanLight(Light light) {
    scanLight_ = light == Light::Green ? &pictures_.LedGreen : &pictures_.LedGrey;
    hook::State(scan_led, light == Light::Green ? "vert" : "gris");
    InvalidateRect(scan_led, nullptr, FALSE);
}

void TForm1::ShowPollLight(Light light) {
    pollLight_ = light == Light::Orange ? &pictures_.LedOrange : &pictures_.LedGrey;
    hook::State(ping_led, light == Light::Orange ? "orange" : "gris");
    InvalidateRect(ping_led, nullptr, FALSE);
}

void TForm1::ShowStatus(const std::string& text) {
    SendMessageW(StatusMain, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(W(text).c_str()));
    SetText(StatusMain, text);
}

void TForm1::AppendConsole(const std::string& line) {
    const int end = GetWindowTextLengthW(console);
    SendMessageW(console, EM_SETSEL, static_cast<WPARAM>(end), end);
    const std::wstring added = (end > 0 ? L"\r\n" : L"") + WithCrLf(line);
    SendMessageW(console, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(added.c_str()));
    if (console_ != nullptr) console_->Follow();
}

void TForm1::Warn(const std::string& text) {
    ShowWarning(window_, text);
}

void TForm1::Inform(const std::string& text) {
    ShowMessage(window_, text);
}

bool TForm1::AskYesNo(const std::string& question) {
    return win32::AskYesNo(window_, question);
}

void TForm1::OpenUrl(const std::string& url) {
    ShellExecuteW(window_, L"open", W(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

namespace {

// The notification area's icon sends its mouse and balloon events as this message.
constexpr UINT kTrayMessage = WM_APP + 17;

// Copies at most the field's size, always ended.
template <std::size_t N>
void CopyText(wchar_t (&field)[N], const std::wstring& text) {
    const std::size_t count = std::min(text.size(), N - 1);
    text.copy(field, count);
    field[count] = L'\0';
}

}  // namespace

// A balloon of the notification area's icon, which appears with the first.
bool TForm1::Notify(const Notice& notice) {
    if (!trayShown_) {
        trayIcon_.cbSize = sizeof trayIcon_;
        trayIcon_.hWnd = window_;
        trayIcon_.uID = 1;
        trayIcon_.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
        trayIcon_.uCallbackMessage = kTrayMessage;
        trayIcon_.hIcon =
            static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                          IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        CopyText(trayIcon_.szTip, L"Korvane");
        trayShown_ = Shell_NotifyIconW(NIM_ADD, &trayIcon_) != FALSE;
        if (!trayShown_) return false;
    }
    trayIcon_.uFlags = NIF_INFO;
    trayIcon_.dwInfoFlags = notice.kind == NoticeKind::NewDevices ? NIIF_INFO : NIIF_WARNING;
    CopyText(trayIcon_.szInfoTitle, W(notice.title));
    CopyText(trayIcon_.szInfo, W(notice.body));
    if (Shell_NotifyIconW(NIM_MODIFY, &trayIcon_) == FALSE) return false;
    lastNotice_ = notice;
    return true;
}

// A click on a balloon opens what it speaks of.
void TForm1::NoticeClicked() {
    if (!lastNotice_) return;
    const Notice notice = *lastNotice_;
    switch (notice.kind) {
        case NoticeKind::NewDevices:
            Dfinir1Click();
            break;
        case NoticeKind::Incident:
            app_->OpenIncidents(notice.report);
            break;
        case NoticeKind::PlanFailure:
            Console1Click();
            break;
    }
}

// --- show, resize, exit ------------------------------------------------

// krv.ini keeps the height in the design's pixels (96 DPI), as the Qt window
// does, so that a file taken to a screen of another DPI opens the same map;
// here it becomes the screen's, within the screen the window is on.
void TForm1::FormShow() {
    if (app_ == nullptr) return;
    const Settings& settings = app_->CurrentSettings();
    RECT place{};
    GetWindowRect(window_, &place);
    int height = std::max(Px(settings.height), MinimumHeight());
    const RECT wanted{settings.left, settings.top, settings.left + place.right - place.left,
                      settings.top + height};
    MONITORINFO screen{};
    screen.cbSize = sizeof screen;
    if (GetMonitorInfoW(MonitorFromRect(&wanted, MONITOR_DEFAULTTONEAREST), &screen)) {
        height = std::min(height, static_cast<int>(screen.rcWork.bottom - settings.top));
        height = std::max(height, MinimumHeight());
    }
    SetWindowPos(window_, nullptr, settings.left, settings.top, place.right - place.left, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    hook::Changed();
}

void TForm1::FormResize() {
    RECT client{};
    GetClientRect(window_, &client);
    SendMessageW(StatusMain, WM_SIZE, 0, 0);
    RECT status{};
    GetWindowRect(StatusMain, &status);
    const int statusHeight = status.bottom - status.top;
    MoveWindow(mapView_, 0, 0, client.right,
               std::max(0, static_cast<int>(client.bottom) - statusHeight), TRUE);
    RECT outer{};
    GetWindowRect(window_, &outer);
    if (app_ != nullptr && !IsIconic(window_)) {
        app_->WindowResized(DesignPx(outer.bottom - outer.top));
    }
    const int consoleHeight = Px(kConsole.height);
    SetWindowPos(console, nullptr, Px(10),
                 outer.bottom - outer.top - consoleHeight - Px(kConsoleBottom), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(Panel1, nullptr, 0, 0,
                 std::max(Px(kPanel.width), static_cast<int>(client.right) - Px(kPanelMargin)),
                 Px(kPanel.height), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    FitMapContent();
}

WindowGeometry TForm1::Geometry() const {
    RECT place{};
    GetWindowRect(window_, &place);
    if (IsIconic(window_) || IsZoomed(window_)) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        GetWindowPlacement(window_, &placement);
        place = placement.rcNormalPosition;
    }
    return {place.left, place.top, DesignPx(place.bottom - place.top)};
}

void TForm1::Destroy() {
    if (trayShown_) Shell_NotifyIconW(NIM_DELETE, &trayIcon_);
    trayShown_ = false;
    energy_.reset();
    console_.reset();
    if (window_ != nullptr) {
        DestroyWindow(window_);
        window_ = nullptr;
    }
    if (popupGM != nullptr) DestroyMenu(popupGM);
    popupGM = nullptr;
    if (accelerators_ != nullptr) DestroyAcceleratorTable(accelerators_);
    accelerators_ = nullptr;
}

bool TForm1::PreTranslate(MSG& message) {
    for (Dialog* open :
         {static_cast<Dialog*>(console_.get()), static_cast<Dialog*>(energy_.get())}) {
        if (open != nullptr && open->Handle() != nullptr &&
            IsDialogMessageW(open->Handle(), &message))
            return true;
    }
    if (window_ == nullptr) return false;
    const bool ours = message.hwnd == window_ || IsChild(window_, message.hwnd);
    return ours && TranslateAcceleratorW(window_, accelerators_, &message) != 0;
}

void TForm1::Quitter1Click() {
    PostQuitMessage(0);
}

// --- clicks and menus ----------------------------------------------------

void TForm1::routeurClick() {
    app_->routeurClick();
}

void TForm1::machineClick(int entry) {
    Tmachines dialog(*app_, pictures_.ScreenOn);
    const int result = dialog.ExecFor(window_, entry);
    if (result == kResultYes) app_->Wake(entry);
    if (result == kResultNo) app_->ShutDown(entry);
    if (result == kResultRestart) app_->Reboot(entry);
    if (result == kResultTestAccess) app_->TestAccess(entry);
}

void TForm1::Prfrences1Click() {
    TPrefs(*app_).Run(window_);
}

void TForm1::Dfinir1Click() {
    TAddMachine(*app_).Run(window_);
}

// The name typed joins the protected list, or leaves it; "Annuler" changes nothing.
void TForm1::Nejamaisteindre1Click() {
    const Answer answer = AskLine(window_, text::kAskNeverOff, "");
    if (answer.ok) app_->Protect(answer.text);
}

void TForm1::CleSsh1Click() {
    app_->CreateSshKey();
}

void TForm1::Listemachines1Click() {
    app_->ExportMachineList();
}

void TForm1::IncidentsWOL1Click() {
    app_->OpenIncidents(FollowKind::WakeUp);
}

void TForm1::Incidentsshutdown1Click() {
    app_->OpenIncidents(FollowKind::Shutdown);
}

// "Annuler" leaves the comment as it was.
void TForm1::Commentaire1Click() {
    const Answer answer = AskLine(window_, text::kAskComment, app_->CommentOf(selectedEntry_));
    if (answer.ok) app_->SetComment(selectedEntry_, answer.text);
}

// "Annuler" renames nothing.
void TForm1::Renommer1Click() {
    const std::string name = app_->NameOf(selectedEntry_);
    if (name.empty()) return;
    const Answer answer = AskLine(window_, text::kAskRename, name);
    if (answer.ok) app_->Rename(selectedEntry_, answer.text);
}

void TForm1::Console1Click() {
    if (console_ == nullptr) console_ = std::make_unique<TConsole>(*app_);
    console_->Show(window_);
}

// The report of every entry, from the "Rapports" menu.
void TForm1::Consommation1Click() {
    if (energy_ == nullptr) energy_ = std::make_unique<TEnergyReport>(*app_);
    energy_->ShowFor(window_, app_->Vars().ManagedList);
}

// The report of the entry the pop-up menu was opened on.
void TForm1::ConsommationEntry1Click() {
    const std::string name = app_->NameOf(selectedEntry_);
    if (name.empty()) return;
    if (energy_ == nullptr) energy_ = std::make_unique<TEnergyReport>(*app_);
    energy_->ShowFor(window_, {name});
}

void TForm1::Apropos1Click() {
    ShowAboutBox(window_);
}

bool TForm1::Command(int id) {
    if (app_ == nullptr) return false;
    using Handler = void (TForm1::*)();
    static const std::pair<int, Handler> handlers[] = {
        {kQuitter, &TForm1::Quitter1Click},
        {kPreferences, &TForm1::Prfrences1Click},
        {kAjouter, &TForm1::Dfinir1Click},
        {kNeJamais, &TForm1::Nejamaisteindre1Click},
        {kCleSsh, &TForm1::CleSsh1Click},
        {kIncidentsWol, &TForm1::IncidentsWOL1Click},
        {kIncidentsShutdown, &TForm1::Incidentsshutdown1Click},
        {kListeMachines, &TForm1::Listemachines1Click},
        {kConsoleCommand, &TForm1::Console1Click},
        {kConsommation, &TForm1::Consommation1Click},
        {kAPropos, &TForm1::Apropos1Click},
        {kCommentaire, &TForm1::Commentaire1Click},
        {kRenommer, &TForm1::Renommer1Click},
        {kConsommationEntry, &TForm1::ConsommationEntry1Click},
        {kRouteurId, &TForm1::routeurClick},
    };
    for (const auto& [command, handler] : handlers) {
        if (command != id) continue;
        (this->*handler)();
        return true;
    }
    return false;
}

// A right click on a map button makes its entry the current one; the menu
// key opens it under the button.
void TForm1::ShowEntryMenu(HWND button, LPARAM where) {
    const int entry = EntryOf(button);
    if (entry < 0) return;
    selectedEntry_ = entry;
    POINT at{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
    if (where == -1) {
        RECT place{};
        GetWindowRect(button, &place);
        at = {place.left, place.bottom};
    }
    hook::Changed();
    const int chosen = static_cast<int>(
        TrackPopupMenu(popupGM, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr));
    if (chosen != 0) Command(chosen);
}

// --- window procedures ---------------------------------------------------

LRESULT CALLBACK TForm1::MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Proc(message, wParam, lParam);
}

// The surface and the panel hand their controls' messages to the main window.
LRESULT CALLBACK TForm1::ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_COMMAND:
        case WM_DRAWITEM:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CONTEXTMENU:
            if (self != nullptr && self->window_ != nullptr)
                return self->Proc(message, wParam, lParam);
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK TForm1::MapProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && self->window_ != nullptr) {
        if (message == WM_VSCROLL) {
            SCROLLINFO info{};
            info.cbSize = sizeof info;
            info.fMask = SIF_ALL;
            GetScrollInfo(window, SB_VERT, &info);
            const int line = Px(20);
            const int page = static_cast<int>(info.nPage);
            switch (LOWORD(wParam)) {
                case SB_LINEUP:
                    self->Scroll(info.nPos - line);
                    break;
                case SB_LINEDOWN:
                    self->Scroll(info.nPos + line);
                    break;
                case SB_PAGEUP:
                    self->Scroll(info.nPos - page);
                    break;
                case SB_PAGEDOWN:
                    self->Scroll(info.nPos + page);
                    break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION:
                    self->Scroll(info.nTrackPos);
                    break;
                case SB_TOP:
                    self->Scroll(0);
                    break;
                case SB_BOTTOM:
                    self->Scroll(info.nMax);
                    break;
                default:
                    break;
            }
            return 0;
        }
        if (message == WM_MOUSEWHEEL) {
            self->Scroll(self->scroll_ - GET_WHEEL_DELTA_WPARAM(wParam) * Px(60) / WHEEL_DELTA);
            return 0;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TForm1::Proc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int entry = EntryOf(reinterpret_cast<HWND>(lParam));
            if (entry >= 0 && HIWORD(wParam) == BN_CLICKED) {
                machineClick(entry);
                return 0;
            }
            if (Command(id)) return 0;
            break;
        }
        case WM_DRAWITEM:
            return DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
            return ColourStatic(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
        case WM_CONTEXTMENU:
            ShowEntryMenu(reinterpret_cast<HWND>(wParam), lParam);
            return 0;
        case WM_SIZE:
            FormResize();
            return 0;
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize.y = MinimumHeight();
            return 0;
        case WM_CLOSE:
            Quitter1Click();
            return 0;
        case kTrayMessage:
            if (LOWORD(lParam) == NIN_BALLOONUSERCLICK) NoticeClicked();
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // Windows may end the program as soon as this returns: it ends now.
            if (wParam != FALSE && endSession_) endSession_();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT TForm1::ColourStatic(HWND control, HDC dc) {
    if (control == console) {
        SetTextColor(dc, kLightYellow);
        SetBkColor(dc, kBlack);
        return reinterpret_cast<LRESULT>(BrushOf(kBlack));
    }
    COLORREF background = GetSysColor(COLOR_BTNFACE);
    COLORREF text = GetSysColor(COLOR_BTNTEXT);
    if (control == gw_nom || control == gw_ip) background = kYellow;
    for (const EntryControls& entry : entries_) {
        if (control == entry.mac) background = kYellow;
        if (control == entry.ip && entry.addressTaken) text = kTakenRed;
    }
    SetTextColor(dc, text);
    SetBkColor(dc, background);
    return reinterpret_cast<LRESULT>(background == kYellow ? BrushOf(kYellow)
                                                           : GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace korvane::win32
