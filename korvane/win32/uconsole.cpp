// The console log's own window (TConsole), not modal.
#include <windows.h>

#include <commdlg.h>

#include "controls.h"
#include "dialogs.h"
#include "korvane/app/texts.h"

namespace korvane::win32 {

namespace {

enum : int { kMemo1 = 100, kBtnSave };

std::wstring Lines(const TextList& lines) {
    std::wstring text;
    for (const auto& line : lines) text += (text.empty() ? L"" : L"\r\n") + WithCrLf(line);
    return text;
}

// "Texte (*.txt)" NUL "*.txt" NUL ... NUL NUL, as the common dialog wants it.
std::wstring Filter() {
    std::wstring filter = W(text::kTextFiles);
    filter += L'\0';
    filter += L"*.txt";
    filter += L'\0';
    filter += W(text::kAllFiles);
    filter += L'\0';
    filter += L"*.*";
    filter += L'\0';
    return filter;
}

}  // namespace

DialogTemplate TConsole::Template() const {
    DialogTemplate dialog(text::kConsoleTitle, 420, 240,
                          WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    dialog.Edit(
        kMemo1, 7, 7, 406, 204, "Memo1",
        ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL);
    dialog.Button(text::kConsoleSave, kBtnSave, 290, 218, 66, 15, "BtnSave");
    dialog.Button(text::kClose, IDCANCEL, 363, 218, 50, 15, "BtnClose");
    return dialog;
}

void TConsole::Init() {
    SendMessageW(Item(kMemo1), EM_SETLIMITTEXT, 0, 0);
    Follow();
}

// The view stays at the end when it was there, so new lines come into sight;
// a user reading higher up is left where they are.
void TConsole::Follow() {
    if (window_ == nullptr) return;
    HWND memo = Item(kMemo1);
    SCROLLINFO bar{};
    bar.cbSize = sizeof bar;
    bar.fMask = SIF_ALL;
    const bool scrolls = GetScrollInfo(memo, SB_VERT, &bar) != FALSE;
    const bool atEnd = !scrolls || bar.nPos + static_cast<int>(bar.nPage) > bar.nMax;
    const auto firstLine = SendMessageW(memo, EM_GETFIRSTVISIBLELINE, 0, 0);
    SetWindowTextW(memo, Lines(app_.ConsoleLines()).c_str());
    if (atEnd) {
        const int end = GetWindowTextLengthW(memo);
        SendMessageW(memo, EM_SETSEL, static_cast<WPARAM>(end), end);
        SendMessageW(memo, EM_SCROLLCARET, 0, 0);
    } else {
        SendMessageW(memo, EM_LINESCROLL, 0, firstLine);
    }
}

void TConsole::BtnSaveClick() {
    std::wstring file = ProgramFolder() + W(text::kConsoleFile);
    file.resize(MAX_PATH * 4, L'\0');
    const std::wstring filter = Filter();
    const std::wstring title = W(text::kConsoleSaveTitle);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog)) return;
    app_.SaveConsole(U8(file.c_str()));
}

bool TConsole::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR&) {
    if (message != WM_COMMAND) return false;
    switch (LOWORD(wParam)) {
        case kBtnSave:
            BtnSaveClick();
            return true;
        case IDCANCEL:
            End(kResultCancel);
            return true;
        default:
            return false;
    }
}

}  // namespace korvane::win32
