// The intake dialog (TAddMachine). Which machines the rows offer and what OK
// writes are decided in the app layer and core/intake.
#include "controls.h"
#include "dialogs.h"
#include "korvane/app/texts.h"
#include "korvane/core/intake.h"
#include "utils.h"

namespace korvane::win32 {

namespace {

enum : int {
    kStaticText3 = 100,
    kStaticText1,
    kPurger,
    kMemo1,
    kFirstName = 200,
    kFirstIp = 210,
    kFirstMac = 220,
    kFirstButton = 230,
    kFirstMark = 240,
};

// The rows: name, IP and MAC columns and the "=>" button, 30 units apart.
constexpr short kFirstRowTop = 34, kRowPitch = 30, kLabelHeight = 13;
constexpr short kNameLeft = 11, kNameWidth = 81;
constexpr short kIpLeft = 96, kIpWidth = 76;
constexpr short kMacLeft = 176, kMacWidth = 102;
constexpr short kButtonLeft = 283, kButtonSize = 17;
constexpr short kRowsRight = kButtonLeft + kButtonSize;

struct RowNames {
    const char* name;
    const char* ip;
    const char* mac;
    const char* button;
};
constexpr RowNames kRowNames[kIntakeRowCount] = {
    {"Label1", "Label2", "Label3", "SpeedButton1"},
    {"Label6", "Label5", "Label4", "SpeedButton2"},
    {"Label9", "Label8", "Label7", "SpeedButton3"},
    {"Label12", "Label11", "Label10", "SpeedButton4"},
    {"Label15", "Label14", "Label13", "SpeedButton5"},
    {"nom6", "ip6", "mac6", "SpeedButton6"},
    {"nom7", "ip7", "mac7", "SpeedButton7"},
};

bool IsRowLabel(int id) {
    return id >= kFirstName && id < kFirstButton;
}

}  // namespace

DialogTemplate TAddMachine::Template() const {
    DialogTemplate dialog(text::kIntakeTitle, 506, 300);
    dialog.Label(text::kIntakeFound, kStaticText3, kNameLeft, 10, kRowsRight - kNameLeft, 14,
                 "StaticText3", SS_LEFT | SS_SUNKEN | SS_CENTERIMAGE);
    for (int row = 0; row < kIntakeRowCount; ++row) {
        const auto top = static_cast<short>(kFirstRowTop + row * kRowPitch);
        const RowNames& names = kRowNames[row];
        const DWORD style = SS_LEFTNOWORDWRAP | SS_CENTERIMAGE;
        dialog.Label("", kFirstName + row, kNameLeft, top, kNameWidth, kLabelHeight, names.name,
                     style);
        dialog.Label("", kFirstIp + row, kIpLeft, top, kIpWidth, kLabelHeight, names.ip, style);
        dialog.Label("", kFirstMac + row, kMacLeft, top, kMacWidth, kLabelHeight, names.mac, style);
        dialog.Button(text::kIntakeMove, kFirstButton + row, kButtonLeft,
                      static_cast<short>(top - 1), kButtonSize, 15, names.button);
        // What changed on the network, under the address and the MAC.
        dialog.Label("", kFirstMark + row, kIpLeft, static_cast<short>(top + kLabelHeight),
                     kMacLeft + kMacWidth - kIpLeft, 8, nullptr, SS_LEFTNOWORDWRAP);
        if (row + 1 == kIntakeRowCount) break;
        // A grey line halfway to the next row.
        dialog.Add(L"STATIC", "", -1, kNameLeft,
                   static_cast<short>(top + (kLabelHeight + kRowPitch) / 2), kRowsRight - kNameLeft,
                   1, SS_ETCHEDHORZ, nullptr);
    }
    dialog.Button(text::kIntakePurge, kPurger, kNameLeft, 252, 50, 15, "purger");
    dialog.Label(text::kIntakeHelp, -1, kNameLeft + 56, 248, kRowsRight - kNameLeft - 56, 40,
                 "Aide", SS_LEFT);
    dialog.Label(text::kIntakeManaged, kStaticText1, 320, 10, 176, 14, "StaticText1",
                 SS_LEFT | SS_SUNKEN | SS_CENTERIMAGE);
    dialog.Edit(
        kMemo1, 320, 30, 176, 208, "Memo1",
        ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL);
    dialog.Button(text::kOk, IDOK, 384, 276, 50, 15, "BitBtn1", true);
    dialog.Button(text::kCancel, IDCANCEL, 440, 276, 56, 15, "BitBtn2");
    return dialog;
}

void TAddMachine::Init() {
    const HFONT bold = BoldOf(reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0)));
    for (int id : {static_cast<int>(kStaticText3), static_cast<int>(kStaticText1)}) {
        SetFont(Item(id), bold);
    }
    for (int row = 0; row < kIntakeRowCount; ++row) SetFont(Item(kFirstName + row), bold);
    // Its command is not in this version yet.
    EnableWindow(Item(kPurger), FALSE);
    SetItemText(kFirstName, text::kIntakeSampleName);
    SetItemText(kFirstIp, text::kIntakeSampleIp);
    SetItemText(kFirstMac, text::kIntakeSampleMac);
    FormActivate();
}

// Each opening: the memo from localGM; the rows come from the app.
void TAddMachine::FormActivate() {
    if (const std::optional<TextList> memo = app_.IntakeOpened()) SetMemoLines(*memo);
}

void TAddMachine::ShowRows(const IntakeRows& rows) {
    if (window_ == nullptr) return;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const int offset = static_cast<int>(row);
        SetItemText(kFirstName + offset, rows[row].name);
        SetItemText(kFirstIp + offset, rows[row].ip);
        SetItemText(kFirstMac + offset, rows[row].mac);
        SetItemText(kFirstMark + offset, rows[row].mark);
    }
}

// The name goes in as it stands: an empty one adds an empty line, one already
// there is added again.
void TAddMachine::MoveRowToMemo(int row) {
    TextList lines = MemoLines();
    lines.push_back(ItemText(kFirstName + row));
    SetMemoLines(lines);
}

// A bad line or a failed write keeps the dialog open with the memo as typed.
void TAddMachine::BitBtn1Click() {
    if (app_.IntakeOk(MemoLines())) End(kResultOK);
}

TextList TAddMachine::MemoLines() const {
    if (window_ == nullptr) return {};
    return toolkit::SplitLines(ItemText(kMemo1));
}

void TAddMachine::SetMemoLines(const TextList& lines) {
    HWND memo = Item(kMemo1);
    SetWindowTextW(memo, WithCrLf(MemoText(lines)).c_str());
    const int end = GetWindowTextLengthW(memo);
    SendMessageW(memo, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageW(memo, EM_SCROLLCARET, 0, 0);
}

bool TAddMachine::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDOK) {
                BitBtn1Click();
                return true;
            }
            if (id == IDCANCEL) {
                End(kResultCancel);
                return true;
            }
            if (id >= kFirstButton && id < kFirstButton + kIntakeRowCount) {
                MoveRowToMemo(id - kFirstButton);
                return true;
            }
            return false;
        }
        case WM_CTLCOLORSTATIC: {
            // White text in a black panel.
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            if (!IsRowLabel(id)) return false;
            result = PaintStatic(wParam, kWhite, kBlack);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace korvane::win32
