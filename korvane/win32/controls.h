// What every Win32 window of Korvane shares: UTF-8 and UTF-16 texts, the
// system DPI that the layout scales by, the fonts, the colours, and the
// making of a named control.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The modal results (kResultOK, kResultCancel, CardChoice), the app's.
#include "korvane/app/command_table.h"
#include "korvane/core/mapgrid.h"

namespace korvane::win32 {

// The app layer speaks UTF-8; the *W calls of Windows speak UTF-16.
std::wstring W(std::string_view utf8);
std::string U8(std::wstring_view wide);
std::wstring TextOf(HWND window);
std::string TextOfU8(HWND window);
// A multi-line control's text has CR LF line ends; the app's texts have LF.
std::wstring WithCrLf(std::string_view utf8);

// The folder of the running program, with its trailing backslash, as Windows
// names it (whatever code page the toolkit's narrow paths are in).
std::wstring ProgramFolder();

// The layout is drawn for 96 DPI: every design pixel is scaled by the
// system's DPI, read once.
int Dpi();
int Px(int designPixels);
// Back from the screen's pixels to the design's (96 DPI).
int DesignPx(int screenPixels);
RECT PxRect(const Rect& design);

// 8 points of "MS Sans Serif", the font the window was drawn for, where
// Windows has it, else of the system's message font; and its bold form, at
// the system DPI.
HFONT UiFont();
HFONT BoldFont();
// The bold form of a dialog's own font (made once per font, kept until exit).
HFONT BoldOf(HFONT font);

inline constexpr COLORREF kCream = RGB(255, 251, 240);
inline constexpr COLORREF kYellow = RGB(255, 255, 0);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kLightYellow = RGB(255, 255, 225);
// The address caption of an entry whose address another device holds.
inline constexpr COLORREF kTakenRed = RGB(192, 0, 0);
// A solid brush of that colour, made once and kept until exit.
HBRUSH BrushOf(COLORREF colour);

// A child control at a design rectangle, in the UI font, registered for the
// test hook under `name` (none when empty).
HWND MakeControl(HWND parent, const wchar_t* windowClass, const std::wstring& text, DWORD style,
                 const Rect& design, int id, const char* name, DWORD exStyle = 0);
void SetFont(HWND control, HFONT font);
void SetText(HWND control, std::string_view utf8);

// Tooltips appear after 200 ms and stay 5 s.
inline constexpr int kHintDelay = 200;
inline constexpr int kHintDisplayTime = 5000;

}  // namespace korvane::win32
