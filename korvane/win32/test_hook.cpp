#include "test_hook.h"

#include <map>
#include <sstream>

#include "controls.h"

namespace korvane::win32::hook {

namespace {

constexpr UINT_PTR kWriteTimer = 1;
constexpr UINT kWriteDelay = 150;  // ms: a new window is drawn by then

struct Named {
    std::string name;
    std::string state;
};

std::map<HWND, Named>& Registry() {
    static std::map<HWND, Named> registry;
    return registry;
}

std::wstring HookFile() {
    static const std::wstring file = [] {
        wchar_t value[MAX_PATH * 2] = {};
        const DWORD length = GetEnvironmentVariableW(L"KORVANE_TEST_HOOK", value, MAX_PATH * 2);
        return length > 0 && length < MAX_PATH * 2 ? std::wstring(value, length) : std::wstring();
    }();
    return file;
}

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// Whether the control's text needs more room than its client area: wrapped
// to its width (a static text wraps), or on one line (a button).
bool IsCut(HWND control) {
    const std::wstring text = TextOf(control);
    const std::wstring kind = ClassOf(control);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
    const bool isStatic = _wcsicmp(kind.c_str(), L"Static") == 0;
    const bool isButton = _wcsicmp(kind.c_str(), L"Button") == 0;
    if (text.empty() || (!isStatic && !isButton)) return false;
    if (isStatic && (style & SS_TYPEMASK) > SS_SIMPLE && (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP)
        return false;
    if (isButton && (style & BS_TYPEMASK) == BS_OWNERDRAW) return false;
    RECT client{};
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
    const bool wraps = isStatic && (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP &&
                       (style & SS_TYPEMASK) != SS_SIMPLE;
    const int margin = isButton ? 2 * GetSystemMetrics(SM_CXEDGE) : 0;
    RECT needed{0, 0, client.right - margin, 0};
    DrawTextW(dc, text.c_str(), -1, &needed,
              DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return needed.right > client.right - margin || needed.bottom > client.bottom;
}

void Line(std::ostringstream& out, const std::string& name, HWND window, const std::string& text,
          bool cut) {
    RECT place{};
    GetWindowRect(window, &place);
    out << name << '\t' << place.left << '\t' << place.top << '\t' << place.right << '\t'
        << place.bottom << '\t' << (IsWindowVisible(window) ? 1 : 0) << '\t' << (cut ? 1 : 0)
        << '\t' << OneLine(text) << '\n';
}

BOOL CALLBACK AddStaticText(HWND child, LPARAM texts) {
    if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0) {
        auto& all = *reinterpret_cast<std::string*>(texts);
        const std::string text = TextOfU8(child);
        if (!text.empty()) all += (all.empty() ? "" : " | ") + text;
    }
    return TRUE;
}

// A box the program shows without naming it: a message, a question.
BOOL CALLBACK AddBox(HWND window, LPARAM stream) {
    if (!IsWindowVisible(window) || Registry().count(window) != 0) return TRUE;
    std::string texts = TextOfU8(window) + ":";
    EnumChildWindows(window, AddStaticText, reinterpret_cast<LPARAM>(&texts));
    Line(*reinterpret_cast<std::ostringstream*>(stream), "boite", window, texts, false);
    return TRUE;
}

void Write() {
    static int writings = 0;
    std::ostringstream out;
    out << "# " << ++writings << '\n';
    auto& registry = Registry();
    for (auto it = registry.begin(); it != registry.end();) {
        if (!IsWindow(it->first)) {
            it = registry.erase(it);
            continue;
        }
        HWND root = GetAncestor(it->first, GA_ROOT);
        const auto found = registry.find(root);
        std::string name = it->second.name;
        if (root != it->first && found != registry.end()) name = found->second.name + "." + name;
        const bool stated = !it->second.state.empty();
        Line(out, name, it->first, stated ? it->second.state : TextOfU8(it->first),
             !stated && root != it->first && IsCut(it->first));
        ++it;
    }
    EnumThreadWindows(GetCurrentThreadId(), AddBox, reinterpret_cast<LPARAM>(&out));
    const std::wstring file = HookFile();
    const std::wstring temporary = file + L".tmp";
    HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    const std::string bytes = out.str();
    DWORD written = 0;
    const BOOL ok =
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(handle);
    if (ok) MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
}

LRESULT CALLBACK HookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kWriteTimer) {
        KillTimer(window, kWriteTimer);
        Write();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window whose timer writes the file: any message loop of
// the thread runs it, a dialog's or a menu's included.
HWND HookWindow() {
    static HWND window = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = HookProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KorvaneTestHook";
        RegisterClassW(&windowClass);
        return CreateWindowExW(0, L"KorvaneTestHook", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    }();
    return window;
}

}  // namespace

bool Active() {
    return !HookFile().empty();
}

void Name(HWND window, const std::string& name) {
    if (!Active() || window == nullptr) return;
    Registry()[window].name = name;
    Changed();
}

void State(HWND window, const std::string& state) {
    if (!Active() || window == nullptr) return;
    Registry()[window].state = state;
}

void Changed() {
    if (!Active()) return;
    SetTimer(HookWindow(), kWriteTimer, kWriteDelay, nullptr);
}

}  // namespace korvane::win32::hook
