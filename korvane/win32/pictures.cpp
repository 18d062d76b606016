#include "pictures.h"

#include <utility>

#include "controls.h"
#include "korvane/core/mapgrid.h"

namespace korvane::win32 {

namespace {

constexpr int kLedSide = 20;
constexpr int kStandInHeight = 48;

Picture StandIn(int width) {
    const int height = width == kLedSide ? kLedSide : kStandInHeight;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const RECT all{0, 0, width, height};
    FillRect(dc, &all, BrushOf(width == kOnGlyphWidth ? RGB(170, 210, 240) : RGB(128, 128, 128)));
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return {bitmap, width, height};
}

}  // namespace

void Pictures::Load(const std::wstring& programFolder) {
    const std::pair<Picture*, std::pair<const char*, int>> pictures[] = {
        {&LedRed, {"led-rouge.bmp", kLedSide}},
        {&LedGreen, {"led-vert.bmp", kLedSide}},
        {&LedOrange, {"led-orange.bmp", kLedSide}},
        {&LedGrey, {"led-gris.bmp", kLedSide}},
        {&ScreenOn, {"ecran-on.bmp", kOnGlyphWidth}},
        {&ScreenOff, {"ecran-off.bmp", kOffGlyphWidth}},
        {&BoxOn, {"neufbox_on.bmp", kOnGlyphWidth}},
        {&BoxOff, {"neufbox_off.bmp", kOffGlyphWidth}},
    };
    for (const auto& [picture, source] : pictures) {
        const std::wstring path = programFolder + W(source.first);
        auto* bitmap = static_cast<HBITMAP>(
            LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        BITMAP description{};
        if (bitmap != nullptr && GetObjectW(bitmap, sizeof description, &description) != 0) {
            *picture = {bitmap, description.bmWidth, description.bmHeight};
            continue;
        }
        missing += (missing.empty() ? "" : ", ") + std::string(source.first);
        *picture = StandIn(source.second);
    }
}

Pictures::~Pictures() {
    for (const Picture* picture :
         {&LedRed, &LedGreen, &LedOrange, &LedGrey, &ScreenOn, &ScreenOff, &BoxOn, &BoxOff}) {
        if (picture->bitmap != nullptr) DeleteObject(picture->bitmap);
    }
}

void DrawPicture(HDC dc, const Picture& picture, const RECT& area) {
    if (picture.bitmap == nullptr) return;
    const int width = Px(picture.width);
    const int height = Px(picture.height);
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, picture.bitmap);
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, left, top, width, height, source, 0, 0, picture.width, picture.height, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
    SelectObject(source, old);
    DeleteDC(source);
}

}  // namespace korvane::win32
