// The energy report (TEnergyReport), not modal: the period, the chart, the
// table whose power draws are edited in place, and the CSV export.
#include <windows.h>

#include <commctrl.h>

#include "controls.h"
#include "dialogs.h"
#include "korvane/app/texts.h"
#include "korvane/core/energy.h"

namespace korvane::win32 {

namespace {

enum : int { kSetPeriod = 100, kChart1, kGrid1, kLabelTotal, kBtnExport };
enum Column { kName, kWatts, kHours, kKwh, kColumns };

int PeriodDays(HWND combo) {
    const auto chosen = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    const auto count = static_cast<LRESULT>(std::size(text::kEnergyPeriods));
    return text::kEnergyPeriods[chosen >= 0 && chosen < count ? chosen : 0];
}

void SetCell(HWND grid, int row, int column, const std::string& utf8) {
    std::wstring wide = W(utf8);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(grid, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

DialogTemplate TEnergyReport::Template() const {
    DialogTemplate dialog(text::kMenuEnergy, 420, 294,
                          WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    dialog.Label(text::kEnergyPeriod, -1, 7, 9, 44, 10, nullptr);
    dialog.Add(L"COMBOBOX", "", kSetPeriod, 54, 7, 100, 80,
               CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, "set_period");
    dialog.Add(kEnergyChartClass, "", kChart1, 7, 25, 406, 150, WS_BORDER, "Chart1");
    dialog.Add(WC_LISTVIEWW, "", kGrid1, 7, 180, 406, 84,
               LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP, "Grid1");
    dialog.Label("", kLabelTotal, 7, 275, 260, 10, "LabelTotal");
    dialog.Button(text::kEnergyExport, kBtnExport, 290, 272, 66, 15, "BtnExport");
    dialog.Button(text::kClose, IDCANCEL, 363, 272, 50, 15, "BtnClose");
    return dialog;
}

void TEnergyReport::Init() {
    HWND period = Item(kSetPeriod);
    for (const int days : text::kEnergyPeriods) {
        SendMessageW(period, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(W(std::to_string(days) + text::kEnergyDays).c_str()));
    }
    SendMessageW(period, CB_SETCURSEL, 0, 0);
    HWND grid = Item(kGrid1);
    SendMessageW(grid, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    RECT area{};
    GetClientRect(grid, &area);
    const char* titles[kColumns] = {text::kEnergyComputer, text::kEnergyDraw, text::kEnergyHours,
                                    text::kEnergyKwh};
    for (int column = 0; column < kColumns; ++column) {
        std::wstring title = W(titles[column]);
        LVCOLUMNW description{};
        description.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        description.fmt = column == kName ? LVCFMT_LEFT : LVCFMT_RIGHT;
        description.cx = (area.right - GetSystemMetrics(SM_CXVSCROLL)) / kColumns;
        description.pszText = title.data();
        SendMessageW(grid, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column),
                     reinterpret_cast<LPARAM>(&description));
    }
}

void TEnergyReport::ShowFor(HWND owner, const TextList& names) {
    names_ = names;
    Show(owner);
    Refresh();
}

void TEnergyReport::Refresh() {
    if (window_ == nullptr) return;
    report_ = app_.Energy(names_, PeriodDays(Item(kSetPeriod)));
    SetChartReport(Item(kChart1), &report_);
    FillGrid();
}

void TEnergyReport::FillGrid() {
    HWND grid = Item(kGrid1);
    SendMessageW(grid, LVM_DELETEALLITEMS, 0, 0);
    for (int r = 0; r < static_cast<int>(report_.rows.size()); ++r) {
        const EnergyRow& row = report_.rows[static_cast<std::size_t>(r)];
        std::wstring name = W(row.name);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = r;
        item.pszText = name.data();
        SendMessageW(grid, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        SetCell(grid, r, kWatts, std::to_string(row.watts));
        SetCell(grid, r, kHours, FrenchNumber(row.TotalHours(), 1));
        SetCell(grid, r, kKwh, FrenchNumber(row.Kwh(), 2));
    }
    SetItemText(kLabelTotal, report_.TotalText());
}

// The draw is typed over its cell; Enter or leaving the cell keeps it,
// Escape gives the old one back.
void TEnergyReport::StartEdit(int row) {
    if (row < 0 || row >= static_cast<int>(report_.rows.size())) return;
    EndEdit(true);
    HWND grid = Item(kGrid1);
    RECT cell{};
    cell.top = kWatts;
    cell.left = LVIR_LABEL;
    SendMessageW(grid, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&cell));
    editedRow_ = row;
    editor_ = CreateWindowExW(
        0, L"EDIT", W(std::to_string(report_.rows[static_cast<std::size_t>(row)].watts)).c_str(),
        WS_CHILD | WS_VISIBLE | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL, cell.left, cell.top,
        cell.right - cell.left, cell.bottom - cell.top, grid, nullptr, GetModuleHandleW(nullptr),
        nullptr);
    SendMessageW(editor_, WM_SETFONT, SendMessageW(grid, WM_GETFONT, 0, 0), TRUE);
    SetWindowSubclass(editor_, EditProc, 1, reinterpret_cast<DWORD_PTR>(this));
    SendMessageW(editor_, EM_SETSEL, 0, -1);
    SetFocus(editor_);
}

// A refused draw is told and the old one comes back.
void TEnergyReport::EndEdit(bool keep) {
    if (editor_ == nullptr) return;
    HWND editor = editor_;
    editor_ = nullptr;  // the focus leaving as it goes ends nothing twice
    const std::string typed = TextOfU8(editor);
    const int row = editedRow_;
    editedRow_ = -1;
    DestroyWindow(editor);
    if (!keep || row < 0 || row >= static_cast<int>(report_.rows.size())) return;
    const EnergyRow& edited = report_.rows[static_cast<std::size_t>(row)];
    if (typed == std::to_string(edited.watts)) return;
    if (app_.SetPowerDraw(edited.name, typed)) {
        Refresh();
    } else {
        FillGrid();
    }
}

LRESULT CALLBACK TEnergyReport::EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR self) {
    auto* report = reinterpret_cast<TEnergyReport*>(self);
    if (message == WM_GETDLGCODE) return DLGC_WANTALLKEYS;
    if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
        report->EndEdit(wParam == VK_RETURN);
        return 0;
    }
    if (message == WM_KILLFOCUS) {
        PostMessageW(report->window_, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(edit, EditProc, 1);
    return DefSubclassProc(edit, message, wParam, lParam);
}

bool TEnergyReport::BtnExportClick() {
    EndEdit(true);
    return app_.ExportEnergy(report_);
}

bool TEnergyReport::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR&) {
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
            case kBtnExport:
                BtnExportClick();
                return true;
            case IDOK:
                EndEdit(true);
                return true;
            case IDCANCEL:
                SetChartReport(Item(kChart1), nullptr);
                End(kResultCancel);
                return true;
            case kSetPeriod:
                if (HIWORD(wParam) == CBN_SELCHANGE) Refresh();
                return true;
            default:
                return false;
        }
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom != kGrid1 || header->code != NM_CLICK) return false;
        const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(lParam);
        LVHITTESTINFO hit{};
        hit.pt = click->ptAction;
        SendMessageW(Item(kGrid1), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        if (hit.iItem >= 0 && hit.iSubItem == kWatts) StartEdit(hit.iItem);
        return true;
    }
    return false;
}

}  // namespace korvane::win32
