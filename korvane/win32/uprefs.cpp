// The preferences (TPrefs).
#include <windows.h>

#include <commctrl.h>

#include "controls.h"
#include "dialogs.h"
#include "korvane/app/texts.h"
#include "korvane/core/shutdownsettings.h"

namespace korvane::win32 {

namespace {

enum : int {
    kSetNbyrow = 100,
    kSpin,
    kSetShutDelay,
    kSetShutComment,
    kNotifyDevices,
    kNotifyIncidents,
    kNotifyPlan
};
constexpr DWORD kCheckBox = BS_AUTOCHECKBOX | WS_TABSTOP;

bool Checked(HWND box) {
    return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Check(HWND box, bool checked) {
    SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}
constexpr int kSpinRange = 1000000;

}  // namespace

DialogTemplate TPrefs::Template() const {
    DialogTemplate dialog(text::kPrefsTitle, 262, 128);
    dialog.Label(text::kPrefsPerRow, -1, 7, 9, 120, 10, "Label3");
    dialog.Edit(kSetNbyrow, 130, 7, 44, 12, "set_nbyrow");
    dialog.Add(UPDOWN_CLASSW, "", kSpin, 174, 7, 10, 12,
               UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, nullptr);
    dialog.Label(text::kPrefsDelay, -1, 7, 25, 120, 10, "Label1");
    dialog.Edit(kSetShutDelay, 130, 23, 44, 12, "set_shut_delay");
    dialog.Label(text::kPrefsComment, -1, 7, 41, 120, 10, "Label2");
    dialog.Edit(kSetShutComment, 130, 39, 125, 12, "set_shut_comment");
    dialog.Add(L"BUTTON", text::kNotifyNewDevices, kNotifyDevices, 7, 57, 248, 10, kCheckBox,
               "set_notify_devices");
    dialog.Add(L"BUTTON", text::kNotifyIncidents, kNotifyIncidents, 7, 70, 248, 10, kCheckBox,
               "set_notify_incidents");
    dialog.Add(L"BUTTON", text::kNotifyPlanFailures, kNotifyPlan, 7, 83, 248, 10, kCheckBox,
               "set_notify_plan");
    dialog.Button(text::kOk, IDOK, 146, 106, 50, 15, "BitBtn1", true);
    dialog.Button(text::kCancel, IDCANCEL, 205, 106, 50, 15, "BitBtn2");
    return dialog;
}

void TPrefs::Init() {
    SendMessageW(Item(kSpin), UDM_SETBUDDY, reinterpret_cast<WPARAM>(Item(kSetNbyrow)), 0);
    SendMessageW(Item(kSpin), UDM_SETRANGE32, static_cast<WPARAM>(-kSpinRange), kSpinRange);
    SendMessageW(Item(kSetShutComment), EM_SETLIMITTEXT, kMaxShutdownCommentLength, 0);
    const Preferences current = app_.CurrentPreferences();
    SetItemText(kSetNbyrow, current.nbyrow);
    SetItemText(kSetShutDelay, current.delay);
    SetItemText(kSetShutComment, current.comment);
    Check(Item(kNotifyDevices), current.notices.newDevices);
    Check(Item(kNotifyIncidents), current.notices.incidents);
    Check(Item(kNotifyPlan), current.notices.planFailures);
}

// A refused field keeps the dialog open, nothing changed; "Annuler" then
// leaves the saved values.
void TPrefs::BitBtn1Click() {
    const Preferences typed{ItemText(kSetNbyrow),
                            ItemText(kSetShutDelay),
                            ItemText(kSetShutComment),
                            {Checked(Item(kNotifyDevices)), Checked(Item(kNotifyIncidents)),
                             Checked(Item(kNotifyPlan))}};
    if (app_.SavePreferences(typed)) End(kResultOK);
}

bool TPrefs::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        BitBtn1Click();
        return true;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        End(kResultCancel);
        return true;
    }
    // The arrows step a number by 1; a text that is not one is left for the
    // user to correct, as typed.
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == UDN_DELTAPOS) {
        const auto* change = reinterpret_cast<const NMUPDOWN*>(lParam);
        const std::string typed = ItemText(kSetNbyrow);
        int value = 0;
        if (ParseWholeNumber(typed, value)) {
            SetItemText(kSetNbyrow, std::to_string(static_cast<long long>(value) + change->iDelta));
        }
        result = TRUE;  // the control's own position stays
        return true;
    }
    return false;
}

}  // namespace korvane::win32
