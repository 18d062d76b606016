// The on/off dialog (Tmachines).
#include "controls.h"
#include "dialogs.h"
#include "korvane/app/texts.h"

namespace korvane::win32 {

namespace {

enum : int {
    kImage1 = 100,
    kNommachine,
    kIpmachine,
    kMacmachine,
    kEdit1,
    kEdit2,
    kBtnOn,
    kBtnOff,
    kBtnRestart,
    kBtnTest,
    kChkSsh,
    kSshUser,
    kLabel6,
};

constexpr int kTimeLength = 8;
constexpr int kUserLength = 32;

bool Checked(HWND box) {
    return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace

DialogTemplate Tmachines::Template() const {
    DialogTemplate dialog(text::kCardTitle, 262, 166);
    dialog.Add(L"STATIC", "", kImage1, 7, 7, 48, 42, SS_OWNERDRAW, "Image1");
    const std::pair<const char*, std::pair<int, const char*>> rows[] = {
        {text::kCardName, {kNommachine, "nommachine"}},
        {text::kCardAddress, {kIpmachine, "ipmachine"}},
        {text::kCardMac, {kMacmachine, "macmachine"}},
    };
    short top = 9;
    for (const auto& [title, value] : rows) {
        dialog.Label(title, -1, 62, top, 86, 10, nullptr);
        dialog.Label("", value.first, 150, top, 105, 10, value.second);
        top = static_cast<short>(top + 14);
    }
    dialog.Label(text::kCardWakeUp, -1, 62, 55, 86, 10, nullptr);
    dialog.Edit(kEdit1, 150, 53, 40, 12, "Edit1");
    dialog.Label(text::kCardShutdown, -1, 62, 71, 86, 10, nullptr);
    dialog.Edit(kEdit2, 150, 69, 40, 12, "Edit2");
    dialog.Add(L"BUTTON", text::kCardSsh, kChkSsh, 7, 87, 140, 10, BS_AUTOCHECKBOX | WS_TABSTOP,
               "chk_ssh");
    dialog.Label(text::kCardSshUser, kLabel6, 62, 103, 86, 10, "Label6");
    dialog.Edit(kSshUser, 150, 101, 105, 12, "ssh_user");
    dialog.Button(text::kCardOn, kBtnOn, 62, 122, 60, 15, "btn_on");
    dialog.Button(text::kCardOff, kBtnOff, 130, 122, 60, 15, "btn_off");
    dialog.Button(text::kCancel, IDCANCEL, 198, 122, 57, 15, "btn_cancel");
    dialog.Button(text::kCardRestart, kBtnRestart, 62, 143, 60, 15, "btn_restart");
    dialog.Button(text::kCardTestAccess, kBtnTest, 130, 143, 60, 15, "btn_test");
    return dialog;
}

CardAnswer Tmachines::Ask(HWND owner, const EntryCard& card) {
    answer_ = {CardChoice::Cancel, card};
    Run(owner);
    return answer_;
}

void Tmachines::Init() {
    const EntryCard& card = answer_.card;
    SetItemText(kNommachine, card.caption);
    SetItemText(kIpmachine, card.address);
    SetItemText(kMacmachine, card.mac);
    SetItemText(kEdit1, card.wakeUp);
    SetItemText(kEdit2, card.shutdown);
    for (const int field : {kEdit1, kEdit2}) {
        SendMessageW(Item(field), EM_SETLIMITTEXT, kTimeLength, 0);
    }
    SendMessageW(Item(kChkSsh), BM_SETCHECK, card.overSsh ? BST_CHECKED : BST_UNCHECKED, 0);
    SetItemText(kSshUser, card.sshUser);
    SendMessageW(Item(kSshUser), EM_SETLIMITTEXT, kUserLength, 0);
    EnableWindow(Item(kSshUser), card.overSsh ? TRUE : FALSE);
}

// The fields are read before the dialog goes, whichever way it closes.
void Tmachines::Close(CardChoice choice) {
    answer_.choice = choice;
    answer_.card.wakeUp = ItemText(kEdit1);
    answer_.card.shutdown = ItemText(kEdit2);
    answer_.card.overSsh = Checked(Item(kChkSsh));
    answer_.card.sshUser = ItemText(kSshUser);
    End(static_cast<INT_PTR>(choice));
}

bool Tmachines::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kBtnOn:
                    Close(CardChoice::On);
                    return true;
                case kBtnOff:
                    Close(CardChoice::Off);
                    return true;
                case kBtnRestart:
                    Close(CardChoice::Restart);
                    return true;
                case kBtnTest:
                    Close(CardChoice::TestAccess);
                    return true;
                case kChkSsh:
                    EnableWindow(Item(kSshUser), Checked(Item(kChkSsh)) ? TRUE : FALSE);
                    return true;
                case IDCANCEL:
                    Close(CardChoice::Cancel);
                    return true;
                default:
                    return false;
            }
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
            DrawPicture(item.hDC, image_, item.rcItem);
            result = TRUE;
            return true;
        }
        case WM_CTLCOLOREDIT: {
            // The time fields keep the greyed background they always had.
            auto* dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
            return true;
        }
        default:
            return false;
    }
}

}  // namespace korvane::win32
