// For the demonstration and the tests: KORVANE_SCREENSHOT=FILE saves a picture
// of the main window (PNG, or BMP for a name ending in ".bmp") after
// KORVANE_SCREENSHOT_DELAY seconds (default 3), then quits as "Quitter" does.
// KORVANE_SCREENSHOT_REPORT=1 takes the energy report of every entry instead.
#pragma once

namespace korvane::win32 {

class TForm1;
void DemoSeamsIfAsked(TForm1& form);

}  // namespace korvane::win32
