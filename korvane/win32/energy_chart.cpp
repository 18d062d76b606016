// The energy report's chart, drawn with GDI: for each day of the period, one
// bar per computer of its hours on, the hours on the left axis, the days
// below, and a legend of the computers.
#include <algorithm>

#include "controls.h"
#include "dialogs.h"
#include "korvane/app/texts.h"

namespace korvane::win32 {

namespace {

constexpr COLORREF kSeries[] = {RGB(32, 159, 223), RGB(153, 202, 83), RGB(246, 166, 37),
                                RGB(109, 95, 213), RGB(191, 89, 62),  RGB(140, 140, 140),
                                RGB(0, 128, 128),  RGB(200, 60, 140)};

struct Frame {
    RECT plot;
    int highest;
};

COLORREF SeriesColour(std::size_t series) {
    return kSeries[series % std::size(kSeries)];
}

void Text(HDC dc, const std::wstring& text, RECT box, UINT format) {
    DrawTextW(dc, text.c_str(), -1, &box, format | DT_NOPREFIX | DT_SINGLELINE);
}

// The legend: a square of each computer's colour and its name, in a row.
int DrawLegend(HDC dc, const EnergyReport& report, const RECT& area) {
    const int line = Px(16);
    int x = area.left + Px(40);
    const int y = area.bottom - line;
    for (std::size_t series = 0; series < report.rows.size(); ++series) {
        const RECT square{x, y + Px(3), x + Px(10), y + Px(13)};
        FillRect(dc, &square, BrushOf(SeriesColour(series)));
        const std::wstring name = W(report.rows[series].name);
        SIZE size{};
        GetTextExtentPoint32W(dc, name.c_str(), static_cast<int>(name.size()), &size);
        Text(dc, name, {x + Px(14), y, x + Px(14) + size.cx, y + line}, DT_LEFT | DT_VCENTER);
        x += Px(24) + size.cx;
    }
    return line;
}

void DrawAxes(HDC dc, const Frame& frame) {
    const RECT& plot = frame.plot;
    HPEN grid = CreatePen(PS_SOLID, 1, RGB(220, 220, 220));
    HGDIOBJ old = SelectObject(dc, grid);
    const int step = frame.highest > 12 ? 4 : (frame.highest > 6 ? 2 : 1);
    for (int hours = 0; hours <= frame.highest; hours += step) {
        const int y = plot.bottom - (plot.bottom - plot.top) * hours / frame.highest;
        MoveToEx(dc, plot.left, y, nullptr);
        LineTo(dc, plot.right, y);
        Text(dc, std::to_wstring(hours),
             {plot.left - Px(30), y - Px(8), plot.left - Px(4), y + Px(8)}, DT_RIGHT | DT_VCENTER);
    }
    SelectObject(dc, GetStockObject(BLACK_PEN));
    MoveToEx(dc, plot.left, plot.top, nullptr);
    LineTo(dc, plot.left, plot.bottom);
    LineTo(dc, plot.right, plot.bottom);
    SelectObject(dc, old);
    DeleteObject(grid);
}

// The axis title, turned a quarter to read upwards.
void DrawAxisTitle(HDC dc, const RECT& area, const RECT& plot) {
    LOGFONTW description{};
    GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof description, &description);
    description.lfEscapement = 900;
    description.lfOrientation = 900;
    HFONT turned = CreateFontIndirectW(&description);
    HGDIOBJ old = SelectObject(dc, turned);
    const std::wstring title = W(text::kEnergyAxis);
    SIZE size{};
    GetTextExtentPoint32W(dc, title.c_str(), static_cast<int>(title.size()), &size);
    const int middle = (plot.top + plot.bottom) / 2;
    TextOutW(dc, area.left + Px(2), middle + size.cx / 2, title.c_str(),
             static_cast<int>(title.size()));
    SelectObject(dc, old);
    DeleteObject(turned);
}

void DrawBars(HDC dc, const EnergyReport& report, const Frame& frame) {
    const RECT& plot = frame.plot;
    const auto days = static_cast<int>(report.dayLabels.size());
    if (days == 0) return;
    const int slot = (plot.right - plot.left) / days;
    const auto series = static_cast<int>(std::max<std::size_t>(report.rows.size(), 1));
    const int bar = std::max(1, (slot - Px(4)) / series);
    // Every label when they fit, else one in so many.
    const int labelEvery = std::max(1, Px(36) / std::max(slot, 1));
    for (int day = 0; day < days; ++day) {
        const int left = plot.left + day * slot + Px(2);
        for (int s = 0; s < static_cast<int>(report.rows.size()); ++s) {
            const auto& hours = report.rows[static_cast<std::size_t>(s)].hours;
            const double value = static_cast<std::size_t>(day) < hours.size()
                                     ? hours[static_cast<std::size_t>(day)]
                                     : 0.0;
            const int height = static_cast<int>(
                (plot.bottom - plot.top) * std::min(value, static_cast<double>(frame.highest)) /
                frame.highest);
            const RECT box{left + s * bar, plot.bottom - height, left + (s + 1) * bar, plot.bottom};
            FillRect(dc, &box, BrushOf(SeriesColour(static_cast<std::size_t>(s))));
        }
        if (day % labelEvery != 0) continue;
        const std::string label = report.dayLabels[static_cast<std::size_t>(day)].substr(0, 5);
        Text(dc, W(label),
             {plot.left + day * slot - Px(10), plot.bottom + Px(2),
              plot.left + (day + 1) * slot + Px(10), plot.bottom + Px(18)},
             DT_CENTER | DT_TOP);
    }
}

void Paint(HWND chart, HDC dc, const EnergyReport* report) {
    RECT area{};
    GetClientRect(chart, &area);
    FillRect(dc, &area, BrushOf(kWhite));
    if (report == nullptr) return;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(GetParent(chart), WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font != nullptr ? font : UiFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kBlack);
    const int legend = DrawLegend(dc, *report, area);
    const Frame frame{
        {area.left + Px(52), area.top + Px(10), area.right - Px(10), area.bottom - legend - Px(24)},
        report->HoursCeiling()};
    DrawAxes(dc, frame);
    DrawAxisTitle(dc, area, frame.plot);
    DrawBars(dc, *report, frame);
    SelectObject(dc, old);
}

LRESULT CALLBACK ChartProc(HWND chart, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) return 1;
    if (message != WM_PAINT) return DefWindowProcW(chart, message, wParam, lParam);
    PAINTSTRUCT paint{};
    HDC screen = BeginPaint(chart, &paint);
    RECT area{};
    GetClientRect(chart, &area);
    // Drawn off screen first, so the bars never flicker.
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, area.right, area.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    Paint(chart, dc,
          reinterpret_cast<const EnergyReport*>(GetWindowLongPtrW(chart, GWLP_USERDATA)));
    BitBlt(screen, 0, 0, area.right, area.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EndPaint(chart, &paint);
    return 0;
}

}  // namespace

void RegisterEnergyChart() {
    WNDCLASSW chartClass{};
    chartClass.lpfnWndProc = ChartProc;
    chartClass.hInstance = GetModuleHandleW(nullptr);
    chartClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    chartClass.lpszClassName = kEnergyChartClass;
    RegisterClassW(&chartClass);
}

void SetChartReport(HWND chart, const EnergyReport* report) {
    SetWindowLongPtrW(chart, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(report));
    InvalidateRect(chart, nullptr, FALSE);
}

}  // namespace korvane::win32
