// The preferences (TPrefs).
#include <windows.h>

#include <commctrl.h>

#include "controls.h"
#include "dialogs.h"
#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/shutdownsettings.h"
#include "messages.h"

namespace korvane::win32 {

namespace {

enum : int {
    kSetNbyrow = 100,
    kSpin,
    kSetShutDelay,
    kSetShutComment,
    kNotifyDevices,
    kNotifyIncidents,
    kNotifyPlan,
    kKeepRunning,
    kWebEnabled,
    kWebPort,
    kWebPassword,
    kWebPasswordAgain,
    kWebPasswordState,
    kWebAddress,
    kWebCopy,
    kWebFingerprint,
    kWebStatus,
    kWebTokens,
    kWebTokenName,
    kWebTokenAdmin,
    kWebTokenEntries,
    kWebMakeToken,
    kWebRevoke
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
    DialogTemplate dialog(text::kPrefsTitle, 522, 280);
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
    dialog.Add(L"BUTTON", text::kKeepRunning, kKeepRunning, 7, 96, 248, 10, kCheckBox,
               "keep_running");
    // The access from the network.
    dialog.Add(L"BUTTON", text::kWebPrefsSection, -1, 256, 4, 254, 254, BS_GROUPBOX, nullptr);
    dialog.Add(L"BUTTON", text::kWebPrefsEnable, kWebEnabled, 262, 16, 240, 10, kCheckBox,
               "web_enabled");
    dialog.Label(text::kWebPrefsPort, -1, 262, 31, 120, 10, nullptr);
    dialog.Edit(kWebPort, 382, 29, 44, 12, "web_port", ES_AUTOHSCROLL | ES_NUMBER);
    dialog.Label(text::kWebPrefsPassword, -1, 262, 46, 120, 10, nullptr);
    dialog.Edit(kWebPassword, 382, 44, 120, 12, "web_password", ES_AUTOHSCROLL | ES_PASSWORD);
    dialog.Label(text::kWebPrefsPasswordAgain, -1, 262, 61, 120, 10, nullptr);
    dialog.Edit(kWebPasswordAgain, 382, 59, 120, 12, "web_password_again",
                ES_AUTOHSCROLL | ES_PASSWORD);
    dialog.Label("", kWebPasswordState, 262, 74, 240, 10, "web_password_state");
    dialog.Label(text::kWebPrefsAddress, -1, 262, 88, 80, 10, nullptr);
    dialog.Edit(kWebAddress, 342, 86, 120, 12, "web_address", ES_AUTOHSCROLL | ES_READONLY);
    dialog.Button(text::kWebPrefsCopy, kWebCopy, 466, 85, 36, 14, "web_copy");
    dialog.Label(text::kWebPrefsFingerprint, -1, 262, 103, 240, 10, nullptr);
    dialog.Edit(kWebFingerprint, 262, 113, 240, 12, "web_fingerprint",
                ES_AUTOHSCROLL | ES_READONLY);
    dialog.Label("", kWebStatus, 262, 128, 240, 18, "web_status");
    dialog.Label(text::kWebPrefsTokens, -1, 262, 148, 240, 10, nullptr);
    dialog.Add(L"LISTBOX", "", kWebTokens, 262, 158, 240, 40,
               LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
               "web_tokens");
    dialog.Label(text::kWebPrefsTokenName, -1, 262, 203, 80, 10, nullptr);
    dialog.Edit(kWebTokenName, 342, 201, 70, 12, "web_token_name");
    dialog.Add(L"BUTTON", text::kWebPrefsTokenAdmin, kWebTokenAdmin, 418, 202, 84, 10, kCheckBox,
               "web_token_admin");
    dialog.Label(text::kWebPrefsTokenEntries, -1, 262, 217, 240, 10, nullptr);
    dialog.Edit(kWebTokenEntries, 262, 227, 240, 12, "web_token_entries");
    dialog.Button(text::kWebPrefsMakeToken, kWebMakeToken, 262, 242, 70, 14, "web_make_token");
    dialog.Button(text::kWebPrefsRevoke, kWebRevoke, 338, 242, 50, 14, "web_revoke");
    dialog.Button(text::kOk, IDOK, 406, 260, 50, 15, "BitBtn1", true);
    dialog.Button(text::kCancel, IDCANCEL, 465, 260, 50, 15, "BitBtn2");
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
    const WebPreferencesShown web = app_.WebPrefs().Current();
    Check(Item(kWebEnabled), web.enabled);
    SetItemText(kWebPort, web.port);
    const std::optional<bool> keep = app_.WebPrefs().KeepRunning();
    EnableWindow(Item(kKeepRunning), keep.has_value());
    Check(Item(kKeepRunning), keep.value_or(false));
    ShowWeb();
}

// What changes while the dialog is open: the password's state, the address,
// the status and the tokens (each row's token id kept beside it).
void TPrefs::ShowWeb() {
    const WebPreferencesShown web = app_.WebPrefs().Current();
    SetItemText(kWebPasswordState,
                web.passwordSet ? text::kWebPrefsPasswordSet : text::kWebPrefsNoPassword);
    SetItemText(kWebAddress, web.address);
    SetItemText(kWebFingerprint, web.fingerprint);
    SetItemText(kWebStatus, web.status);
    SendMessageW(Item(kWebTokens), LB_RESETCONTENT, 0, 0);
    tokenIds_.clear();
    for (const WebTokenRow& token : web.tokens) {
        std::string row = token.name + " — " + token.role;
        if (!token.entries.empty()) row += " (" + token.entries + ")";
        row += " — " + token.created + " — " + token.lastUse;
        SendMessageW(Item(kWebTokens), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(row).c_str()));
        tokenIds_.push_back(token.id);
    }
}

void TPrefs::MakeTokenClick() {
    const std::optional<std::string> secret = app_.WebPrefs().MakeToken(
        ItemText(kWebTokenName), Checked(Item(kWebTokenAdmin)), ItemText(kWebTokenEntries));
    if (!secret) return;
    SetItemText(kWebTokenName, "");
    SetItemText(kWebTokenEntries, "");
    ShowWeb();
    ShowMessage(window_, text::kWebPrefsTokenMade + *secret);
}

void TPrefs::RevokeClick() {
    const LRESULT selected = SendMessageW(Item(kWebTokens), LB_GETCURSEL, 0, 0);
    if (selected < 0 || static_cast<std::size_t>(selected) >= tokenIds_.size()) return;
    app_.WebPrefs().RevokeToken(tokenIds_[static_cast<std::size_t>(selected)]);
    ShowWeb();
}

// A refused field keeps the dialog open, nothing changed; "Annuler" then
// leaves the saved values.
void TPrefs::BitBtn1Click() {
    const Preferences typed{ItemText(kSetNbyrow),
                            ItemText(kSetShutDelay),
                            ItemText(kSetShutComment),
                            {Checked(Item(kNotifyDevices)), Checked(Item(kNotifyIncidents)),
                             Checked(Item(kNotifyPlan))}};
    if (!app_.SavePreferences(typed)) return;
    WebPreferencesTyped web{Checked(Item(kWebEnabled)), ItemText(kWebPort), ItemText(kWebPassword),
                            ItemText(kWebPasswordAgain), std::nullopt};
    if (IsWindowEnabled(Item(kKeepRunning))) web.keepRunning = Checked(Item(kKeepRunning));
    if (app_.WebPrefs().Save(web)) End(kResultOK);
}

bool TPrefs::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        BitBtn1Click();
        return true;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == kWebMakeToken) {
        MakeTokenClick();
        return true;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == kWebRevoke) {
        RevokeClick();
        return true;
    }
    // The address copied whole, as the user would select it and copy.
    if (message == WM_COMMAND && LOWORD(wParam) == kWebCopy) {
        SendMessageW(Item(kWebAddress), EM_SETSEL, 0, -1);
        SendMessageW(Item(kWebAddress), WM_COPY, 0, 0);
        return true;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == kWebTokenAdmin) {
        EnableWindow(Item(kWebTokenEntries), !Checked(Item(kWebTokenAdmin)));
        return false;
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
