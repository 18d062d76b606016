#include "messages.h"

#include "controls.h"
#include "test_hook.h"

namespace korvane::win32 {

namespace {

HHOOK buttonsHook = nullptr;

// The box's buttons get French texts before it is shown.
LRESULT CALLBACK FrenchButtons(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        auto* box = reinterpret_cast<HWND>(wParam);
        SetDlgItemTextW(box, IDYES, L"Oui");
        SetDlgItemTextW(box, IDNO, L"Non");
        hook::Changed();
    }
    return CallNextHookEx(buttonsHook, code, wParam, lParam);
}

int Box(HWND owner, const std::string& text, UINT kind) {
    // Modal to the dialog open over the main window, when there is one.
    HWND parent = owner != nullptr ? GetLastActivePopup(owner) : nullptr;
    // A box may open inside another (a timer's warning): each hook is its own.
    HHOOK outer = buttonsHook;
    buttonsHook = SetWindowsHookExW(WH_CBT, FrenchButtons, nullptr, GetCurrentThreadId());
    const int answer = MessageBoxW(parent, W(text).c_str(), L"Korvane", kind | MB_SETFOREGROUND);
    UnhookWindowsHookEx(buttonsHook);
    buttonsHook = outer;
    hook::Changed();
    return answer;
}

}  // namespace

void ShowWarning(HWND owner, const std::string& text) {
    Box(owner, text, MB_OK | MB_ICONWARNING);
}

void ShowMessage(HWND owner, const std::string& text) {
    Box(owner, text, MB_OK);
}

bool AskYesNo(HWND owner, const std::string& question) {
    return Box(owner, question, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

}  // namespace korvane::win32
