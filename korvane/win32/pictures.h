// The eight pictures of the main window, loaded once from the program
// folder, and their drawing at the system DPI. A picture that cannot be read
// is replaced by a plain one of the width that carries its meaning, so the
// map still tells on from off.
#pragma once

#include <windows.h>

#include <string>

namespace korvane::win32 {

struct Picture {
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
};

struct Pictures {
    Picture LedRed, LedGreen, LedOrange, LedGrey, ScreenOn, ScreenOff, BoxOn, BoxOff;
    // The files that could not be read, for the status bar; empty when all were.
    std::string missing;

    void Load(const std::wstring& programFolder);
    ~Pictures();
};

// Draws the picture scaled from 96 DPI to the system's, centred in `area`.
void DrawPicture(HDC dc, const Picture& picture, const RECT& area);

}  // namespace korvane::win32
