#include "main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

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

// Each command's menu identifier: its place in the table, past the controls'.
constexpr int kFirstCommandId = 100;
constexpr int kRouteurId = 200;

int CommandId(Command command) {
    return kFirstCommandId + static_cast<int>(command);
}

std::optional<Command> CommandOf(int id) {
    const int index = id - kFirstCommandId;
    if (index < 0 || index >= static_cast<int>(AllCommands().size())) return std::nullopt;
    return AllCommands()[static_cast<std::size_t>(index)].command;
}

// A menu text with its mnemonic, and its keys after a tab.
std::wstring MenuText(const char* text, std::size_t mnemonic, const KeyChord& keys = {}) {
    std::wstring wide = W(MnemonicText(text, mnemonic));
    if (!keys.Empty()) wide += L"\t" + W(KeyText(keys));
    return wide;
}

ACCEL AcceleratorOf(Command command) {
    const KeyChord& keys = InfoOf(command).keys;
    BYTE modifiers = FVIRTKEY;
    if (keys.control) modifiers |= FCONTROL;
    if (keys.shift) modifiers |= FSHIFT;
    const WORD key = keys.letter != 0 ? static_cast<WORD>(keys.letter)
                                      : static_cast<WORD>(VK_F1 + keys.function - 1);
    return {modifiers, key, static_cast<WORD>(CommandId(command))};
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
        ShowStatus(text::kPicturesMissing + pictures_.missing);
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

// The menus and their keys from the app's table: the same texts, mnemonics
// and keys as every window of Korvane.
void TForm1::BuildMenus() {
    MainMenu1 = CreateMenu();
    std::vector<ACCEL> keys;
    for (const MenuInfo& info : MainMenus()) {
        HMENU menu = CreatePopupMenu();
        AppendMenuW(MainMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(menu),
                    MenuText(info.text, info.mnemonic).c_str());
        for (const Command command : info.items) {
            const CommandInfo& item = InfoOf(command);
            AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(CommandId(command)),
                        MenuText(item.text, item.mnemonic, item.keys).c_str());
            if (!item.keys.Empty()) keys.push_back(AcceleratorOf(command));
        }
    }
    popupGM = CreatePopupMenu();
    for (const Command command : korvane::EntryMenu()) {
        const CommandInfo& item = InfoOf(command);
        AppendMenuW(popupGM, MF_STRING, static_cast<UINT_PTR>(CommandId(command)),
                    MenuText(item.text, item.mnemonic).c_str());
    }
    accelerators_ = CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
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

// A click on a balloon opens what the last one speaks of.
void TForm1::NoticeClicked() {
    if (lastNotice_ && app_ != nullptr) app_->NoticeClicked(*lastNotice_);
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

void TForm1::Quit() {
    PostQuitMessage(0);
}

// --- clicks and menus ----------------------------------------------------

void TForm1::routeurClick() {
    app_->routeurClick();
}

void TForm1::machineClick(int entry) {
    if (app_ != nullptr) app_->EntryClicked(entry);
}

std::optional<std::string> TForm1::AskLine(const std::string& prompt, const std::string& initial) {
    return win32::AskLine(window_, prompt, initial);
}

CardAnswer TForm1::AskCard(const EntryCard& card) {
    return Tmachines(pictures_.ScreenOn).Ask(window_, card);
}

void TForm1::Open(Window window, const TextList& entries) {
    switch (window) {
        case Window::Preferences:
            TPrefs(*app_).Run(window_);
            break;
        case Window::Intake: {
            TAddMachine intake(*app_);
            intake_ = &intake;
            intake.Run(window_);
            intake_ = nullptr;
            break;
        }
        case Window::Console:
            if (console_ == nullptr) console_ = std::make_unique<TConsole>(*app_);
            console_->Show(window_);
            break;
        case Window::Energy:
            if (energy_ == nullptr) energy_ = std::make_unique<TEnergyReport>(*app_);
            energy_->ShowFor(window_, entries);
            break;
        case Window::About:
            ShowAboutBox(window_);
            break;
    }
}

void TForm1::ShowIntakeRows(const IntakeRows& rows) {
    if (intake_ != nullptr) intake_->ShowRows(rows);
}

TextList TForm1::IntakeMemo() {
    return intake_ != nullptr ? intake_->MemoLines() : TextList{};
}

// A menu's command, or its keys: the app runs it; the pop-up menu's act on
// the entry it was opened on.
bool TForm1::OnCommand(int id) {
    if (app_ == nullptr) return false;
    if (id == kRouteurId) {
        routeurClick();
        return true;
    }
    const std::optional<korvane::Command> command = CommandOf(id);
    if (!command) return false;
    const auto& entryMenu = korvane::EntryMenu();
    const bool ofEntry = std::find(entryMenu.begin(), entryMenu.end(), *command) != entryMenu.end();
    app_->Run(*command, ofEntry ? selectedEntry_ : -1);
    return true;
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
    if (chosen != 0) OnCommand(chosen);
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
            if (OnCommand(id)) return 0;
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
            Quit();
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
