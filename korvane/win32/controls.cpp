#include "controls.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <map>

#include "test_hook.h"

namespace korvane::win32 {

namespace {

constexpr int kDesignDpi = 96;
constexpr int kFontPoints = 8;

// The window was drawn in "MS Sans Serif"; a Windows without it (some
// languages' editions) gets the system's message font.
constexpr wchar_t kDesignFace[] = L"MS Sans Serif";

int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool HasDesignFace() {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    std::wcsncpy(wanted.lfFaceName, kDesignFace, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, FoundFace, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

HFONT MadeFont(bool bold) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    if (HasDesignFace()) {
        std::fill(std::begin(font.lfFaceName), std::end(font.lfFaceName), L'\0');
        std::wcsncpy(font.lfFaceName, kDesignFace, LF_FACESIZE - 1);
        font.lfCharSet = DEFAULT_CHARSET;
    }
    font.lfHeight = -MulDiv(kFontPoints, Dpi(), 72);
    font.lfWidth = 0;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    return CreateFontIndirectW(&font);
}

}  // namespace

std::wstring W(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string U8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

std::wstring TextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

std::string TextOfU8(HWND window) {
    return U8(TextOf(window));
}

std::wstring WithCrLf(std::string_view utf8) {
    std::wstring text;
    for (const wchar_t c : W(utf8)) {
        if (c == L'\n') text += L'\r';
        if (c != L'\r') text += c;
    }
    return text;
}

std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

int Dpi() {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int value = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return value > 0 ? value : kDesignDpi;
    }();
    return dpi;
}

int Px(int designPixels) {
    return MulDiv(designPixels, Dpi(), kDesignDpi);
}

int DesignPx(int screenPixels) {
    return MulDiv(screenPixels, kDesignDpi, Dpi());
}

RECT PxRect(const Rect& design) {
    const int left = Px(design.left);
    const int top = Px(design.top);
    return {left, top, left + Px(design.width), top + Px(design.height)};
}

HFONT UiFont() {
    static HFONT font = MadeFont(false);
    return font;
}

HFONT BoldFont() {
    static HFONT font = MadeFont(true);
    return font;
}

HFONT BoldOf(HFONT font) {
    static std::map<HFONT, HFONT> bold;
    auto& made = bold[font];
    if (made == nullptr) {
        LOGFONTW description{};
        GetObjectW(font, sizeof description, &description);
        description.lfWeight = FW_BOLD;
        made = CreateFontIndirectW(&description);
    }
    return made;
}

HBRUSH BrushOf(COLORREF colour) {
    static std::map<COLORREF, HBRUSH> brushes;
    auto& brush = brushes[colour];
    if (brush == nullptr) brush = CreateSolidBrush(colour);
    return brush;
}

HWND MakeControl(HWND parent, const wchar_t* windowClass, const std::wstring& text, DWORD style,
                 const Rect& design, int id, const char* name, DWORD exStyle) {
    const RECT place = PxRect(design);
    HWND control = CreateWindowExW(exStyle, windowClass, text.c_str(), WS_CHILD | style, place.left,
                                   place.top, place.right - place.left, place.bottom - place.top,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SetFont(control, UiFont());
    if (name != nullptr && *name != '\0') hook::Name(control, name);
    return control;
}

void SetFont(HWND control, HFONT font) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void SetText(HWND control, std::string_view utf8) {
    SetWindowTextW(control, W(utf8).c_str());
}

}  // namespace korvane::win32
