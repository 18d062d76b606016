#include "demo_seams.h"

#include <windows.h>
// GDI+ after windows.h and objidl.h, with the min and max it expects.
#include <objidl.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <cstdlib>
#include <string>

#include "controls.h"
#include "dialogs.h"
#include "main_window.h"

namespace korvane::win32 {

namespace {

constexpr UINT_PTR kShotTimer = 0x5348;
constexpr UINT kReportDelay = 500;

struct Shot {
    TForm1* form = nullptr;
    std::wstring file;
    bool ofReport = false;
};
Shot shot;

std::wstring Variable(const wchar_t* name) {
    wchar_t value[MAX_PATH * 2] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH * 2);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(value, length) : std::wstring();
}

// The image encoders of GDI+ by their format, as Windows names them.
const CLSID kPngEncoder = {
    0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
const CLSID kBmpEncoder = {
    0x557cf400, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() &&
           _wcsicmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

// The window as the screen shows it, title bar and frame included.
bool Save(HWND window, const std::wstring& file) {
    RECT place{};
    GetWindowRect(window, &place);
    const int width = place.right - place.left;
    const int height = place.bottom - place.top;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, width, height, screen, place.left, place.top, SRCCOPY | CAPTUREBLT);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    bool saved = false;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) {
        Gdiplus::GpBitmap* image = nullptr;
        if (Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) ==
            Gdiplus::Ok) {
            const CLSID& encoder = EndsWith(file, L".bmp") ? kBmpEncoder : kPngEncoder;
            saved = Gdiplus::DllExports::GdipSaveImageToFile(image, file.c_str(), &encoder,
                                                             nullptr) == Gdiplus::Ok;
            Gdiplus::DllExports::GdipDisposeImage(image);
        }
        Gdiplus::GdiplusShutdown(token);
    }
    DeleteObject(bitmap);
    return saved;
}

void CALLBACK TakeShot(HWND window, UINT, UINT_PTR, DWORD) {
    KillTimer(window, kShotTimer);
    if (shot.ofReport) {
        shot.ofReport = false;
        shot.form->App().Run(Command::Energy);
        SetTimer(window, kShotTimer, kReportDelay, TakeShot);
        return;
    }
    TEnergyReport* report = shot.form->EnergyReport();
    HWND shown =
        report != nullptr && report->Handle() != nullptr ? report->Handle() : shot.form->Handle();
    RedrawWindow(shown, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Save(shown, shot.file);
    shot.form->Quit();
}

}  // namespace

void DemoSeamsIfAsked(TForm1& form) {
    const std::wstring file = Variable(L"KORVANE_SCREENSHOT");
    if (file.empty()) return;
    const std::wstring delayText = Variable(L"KORVANE_SCREENSHOT_DELAY");
    const int delay = delayText.empty() ? 3 : std::max(0, _wtoi(delayText.c_str()));
    shot = {&form, file, Variable(L"KORVANE_SCREENSHOT_REPORT") == L"1"};
    SetTimer(form.Handle(), kShotTimer, static_cast<UINT>(delay * 1000), TakeShot);
}

}  // namespace korvane::win32
