// TForm1, the network map: the gateway in cell 0, entry i in cell i + 1, as
// the app layer's map state gives them, every place scaled by the system DPI.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "controls.h"
#include "korvane/app/texts.h"
#include "korvane/core/mapgrid.h"
#include "main_window.h"
#include "test_hook.h"

namespace korvane::win32 {

namespace {

constexpr int kFirstEntryId = 1000;
constexpr Rect kProtectedMark{2, 2, 0, 12};

// The name and address captions reach a little beyond their frame on both
// sides, so that a NetBIOS name in bold fits: neighbouring cells stay apart.
constexpr int kCaptionOverhang = 12;

Rect Widened(const Rect& caption) {
    return {caption.left - kCaptionOverhang, caption.top, caption.width + 2 * kCaptionOverhang,
            caption.height};
}

void Place(HWND control, const Rect& design) {
    const RECT place = PxRect(design);
    SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The small mark a protected entry wears in its button's corner.
void DrawProtectedMark(HDC dc, const RECT& button) {
    HFONT font = CreateFontW(-Px(9), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                             CLEARTYPE_QUALITY, 0, L"Tahoma");
    HGDIOBJ old = SelectObject(dc, font);
    const std::wstring mark = W(text::kProtectedMark);
    SIZE size{};
    GetTextExtentPoint32W(dc, mark.c_str(), static_cast<int>(mark.size()), &size);
    RECT box{button.left + Px(kProtectedMark.left), button.top + Px(kProtectedMark.top), 0, 0};
    box.right = box.left + size.cx + Px(4);
    box.bottom = box.top + std::max(static_cast<int>(size.cy), Px(kProtectedMark.height));
    FillRect(dc, &box, BrushOf(RGB(192, 0, 0)));
    SetTextColor(dc, kWhite);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, mark.c_str(), -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
}

}  // namespace

void TForm1::ShowMap(const MapState& map) {
    if (map.rebuild) {
        // Every control goes, also those of entries beyond a list that shrank
        // since they were drawn, so a rebuild leaves no stale entry behind.
        for (int entry = 0; entry < static_cast<int>(entries_.size()); ++entry) {
            DestroyEntryControls(entry);
        }
    }
    nbyrow_ = map.nbyrow;
    entryCount_ = static_cast<int>(map.entries.size());
    if (map.gateway.known) DrawGateway(map.gateway);
    FitWindow(map);
    for (int entry = 0; entry < entryCount_; ++entry) {
        DrawEntry(entry, map.entries[static_cast<std::size_t>(entry)]);
    }
    FitMapContent();
    hook::Changed();
}

// The window is as wide as the rows, and the vertical scroll bar's width
// more when the entries need it, so that it never hides a column; as high as
// the settings say, and never so low that the first row is cut.
void TForm1::FitWindow(const MapState& map) {
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)), TRUE,
                       static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE)));
    const int width = Px(MapWidth(map.nbyrow)) + frame.right - frame.left;
    // The height in the design's pixels: the screen's that give it back stay.
    RECT outer{};
    GetWindowRect(window_, &outer);
    const int current = outer.bottom - outer.top;
    const int height =
        std::max(DesignPx(current) == map.height ? current : Px(map.height), MinimumHeight());
    const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(window_, nullptr, 0, 0, width, height, flags);
    RECT view{};
    GetClientRect(mapView_, &view);
    if (Px(MapContentHeight(entryCount_, map.nbyrow)) > view.bottom) {
        SetWindowPos(window_, nullptr, 0, 0, width + GetSystemMetrics(SM_CXVSCROLL), height, flags);
    }
}

// The height that shows the whole first row: the gateway and its captions.
int TForm1::MinimumHeight() const {
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, TRUE, 0);
    RECT status{};
    GetWindowRect(StatusMain, &status);
    return frame.bottom - frame.top + (status.bottom - status.top) +
           Px(MapContentHeight(0, std::max(nbyrow_, 1)));
}

// The map's surface covers the view and reaches the last row's captions; the
// scroll bar shows when it is higher than the view.
void TForm1::FitMapContent() {
    RECT view{};
    GetClientRect(mapView_, &view);
    const int needed = Px(MapContentHeight(entryCount_, nbyrow_));
    const int width = std::max(static_cast<int>(view.right), Px(MapWidth(nbyrow_)));
    const int height = std::max(static_cast<int>(view.bottom), needed);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE;
    info.nMin = 0;
    info.nMax = height - 1;
    info.nPage = static_cast<UINT>(view.bottom);
    SetScrollInfo(mapView_, SB_VERT, &info, TRUE);
    // The scroll bar shown, as the tests see it: the view's style says.
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(mapView_, GWL_STYLE));
    hook::State(mapView_, (style & WS_VSCROLL) != 0 ? "défilement" : "");
    SetWindowPos(surface_, nullptr, 0, -scroll_, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    Scroll(scroll_);
}

void TForm1::Scroll(int position) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(mapView_, SB_VERT, &info);
    const int last = std::max(0, info.nMax + 1 - static_cast<int>(info.nPage));
    position = std::clamp(position, 0, last);
    if (position == scroll_ && info.nPos == position) return;
    scroll_ = position;
    info.fMask = SIF_POS;
    info.nPos = position;
    SetScrollInfo(mapView_, SB_VERT, &info, TRUE);
    SetWindowPos(surface_, nullptr, 0, -position, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    hook::Changed();
}

void TForm1::DrawGateway(const MapGateway& gateway) {
    SetText(gw_nom, gateway.name);
    SetText(gw_ip, gateway.address);
    SetGlyph(routeur, routeurGlyph_, gateway.up, pictures_.BoxOn, pictures_.BoxOff);
}

// A picture changes only when its width shows the other state.
void TForm1::SetGlyph(HWND button, const Picture*& glyph, bool up, const Picture& on,
                      const Picture& off) {
    const GlyphChange change = NextGlyph(up, glyph != nullptr ? glyph->width : 0);
    if (change == GlyphChange::Keep) return;
    glyph = change == GlyphChange::ToOn ? &on : &off;
    hook::State(button, change == GlyphChange::ToOn ? "on" : "off");
    InvalidateRect(button, nullptr, FALSE);
}

// An entry the map leaves out keeps whatever control it had.
void TForm1::DrawEntry(int entry, const MapEntry& cell) {
    if (!cell.shown) return;
    if (entries_.size() <= static_cast<std::size_t>(entry)) {
        entries_.resize(static_cast<std::size_t>(entry) + 1);
    }
    EntryControls& controls = entries_[static_cast<std::size_t>(entry)];
    if (controls.button == nullptr) CreateEntryControls(entry, cell.up);
    SetGlyph(controls.button, controls.glyph, cell.up, pictures_.ScreenOn, pictures_.ScreenOff);
    if (controls.isProtected != cell.isProtected) {
        controls.isProtected = cell.isProtected;
        InvalidateRect(controls.button, nullptr, FALSE);
    }
    const std::wstring hint = W(cell.hint);
    if (hint != controls.hint) {
        controls.hint = hint;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = surface_;
        tool.uId = reinterpret_cast<UINT_PTR>(controls.button);
        tool.lpszText = controls.hint.data();
        SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    RefreshEntryCaptions(entry, cell);
}

void TForm1::CreateEntryControls(int entry, bool up) {
    EntryControls& controls = entries_[static_cast<std::size_t>(entry)];
    const Cell cell = EntryCell(entry, nbyrow_);
    controls.cell = cell;
    const std::string number = std::to_string(entry);
    controls.button =
        MakeControl(surface_, L"BUTTON", L"", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                    EntryButtonRect(cell), kFirstEntryId + entry, ("machine" + number).c_str());
    controls.glyph = up ? &pictures_.ScreenOn : &pictures_.ScreenOff;
    hook::State(controls.button, up ? "on" : "off");
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = surface_;
    tool.uId = reinterpret_cast<UINT_PTR>(controls.button);
    tool.lpszText = controls.hint.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    const DWORD captionStyle = WS_VISIBLE | SS_CENTER | SS_NOPREFIX | SS_ENDELLIPSIS;
    const Rect frame = EntryFrameRect(cell);
    controls.ip = MakeControl(surface_, L"STATIC", L"", captionStyle, Widened(IpCaptionRect(frame)),
                              0, ("IpCaption" + number).c_str());
    controls.mac = MakeControl(surface_, L"STATIC", L"", SS_LEFT | SS_NOPREFIX,
                               MacCaptionRect(frame), 0, nullptr);
    controls.name =
        MakeControl(surface_, L"STATIC", L"", captionStyle, Widened(NameCaptionRect(frame)), 0,
                    ("NameCaption" + number).c_str());
    SetFont(controls.name, BoldFont());
}

// Captions follow their cell at every build, in the order address, hardware
// address (hidden), name.
void TForm1::RefreshEntryCaptions(int entry, const MapEntry& cell) {
    const EntryControls& controls = entries_[static_cast<std::size_t>(entry)];
    const Rect frame = EntryFrameRect(controls.cell);
    Place(controls.ip, Widened(IpCaptionRect(frame)));
    SetText(controls.ip, cell.address);
    if (controls.addressTaken != cell.addressTaken) {
        entries_[static_cast<std::size_t>(entry)].addressTaken = cell.addressTaken;
        InvalidateRect(controls.ip, nullptr, TRUE);
    }
    SetText(controls.mac, cell.mac);
    Place(controls.name, Widened(NameCaptionRect(frame)));
    SetText(controls.name, cell.caption);
}

void TForm1::DestroyEntryControls(int entry) {
    const auto index = static_cast<std::size_t>(entry);
    if (index >= entries_.size()) return;
    EntryControls& controls = entries_[index];
    if (controls.button != nullptr) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = surface_;
        tool.uId = reinterpret_cast<UINT_PTR>(controls.button);
        SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    for (HWND control : {controls.button, controls.name, controls.ip, controls.mac}) {
        if (control != nullptr) DestroyWindow(control);
    }
    controls = EntryControls{};
}

int TForm1::EntryOf(HWND button) const {
    if (button == nullptr) return -1;
    for (std::size_t entry = 0; entry < entries_.size(); ++entry) {
        if (entries_[entry].button == button) return static_cast<int>(entry);
    }
    return -1;
}

// The pictures: the lights, the gateway's flat button and the entries' buttons.
LRESULT TForm1::DrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const RECT& area = item.rcItem;
    if (item.hwndItem == scan_led || item.hwndItem == ping_led) {
        FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
        DrawPicture(dc, *(item.hwndItem == scan_led ? scanLight_ : pollLight_), area);
        return TRUE;
    }
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    if (item.hwndItem == routeur) {
        // Flat: an edge only while pressed.
        FillRect(dc, &area, BrushOf(kCream));
        if (routeurGlyph_ != nullptr) DrawPicture(dc, *routeurGlyph_, area);
        if (pressed) {
            RECT edge = area;
            DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
        }
        return TRUE;
    }
    const int entry = EntryOf(item.hwndItem);
    if (entry < 0) return FALSE;
    const EntryControls& controls = entries_[static_cast<std::size_t>(entry)];
    RECT face = area;
    DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    RECT picture = area;
    if (pressed) OffsetRect(&picture, 1, 1);
    if (controls.glyph != nullptr) DrawPicture(dc, *controls.glyph, picture);
    if (controls.isProtected) DrawProtectedMark(dc, area);
    if ((item.itemState & ODS_FOCUS) != 0) {
        RECT focus = area;
        InflateRect(&focus, -Px(3), -Px(3));
        DrawFocusRect(dc, &focus);
    }
    return TRUE;
}

}  // namespace korvane::win32
