// The test hook: with KORVANE_TEST_HOOK=FILE, the program writes, shortly
// after a window opens or closes and after every drawing of the map, the
// screen rectangle of each named control, so that a test drives the real
// window from outside by the places the program itself reports.
//
// One line per control, UTF-8, fields separated by tabs:
//   WINDOW.CONTROL  left  top  right  bottom  visible  cut  text
// (a window itself: WINDOW alone). `visible` is 1 when the control and its
// window are shown; `cut` is 1 when its text needs more room than the
// control has; `text` is its text, or the state a picture shows ("on",
// "off"). An unnamed box of the program (a message) is listed as "boite"
// with its texts. The file is replaced whole; its first line "# N" counts
// the writings.
#pragma once

#include <windows.h>

#include <string>

namespace korvane::win32::hook {

bool Active();
// Names a window or a control; a control's line is named after its window's.
void Name(HWND window, const std::string& name);
// What a picture shows, written in place of the text.
void State(HWND window, const std::string& state);
// Asks for the file to be written again shortly (the changes coalesce).
void Changed();

}  // namespace korvane::win32::hook
