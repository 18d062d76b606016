// The about box (TAboutBox) and the coming-soon box (Tcomingsoon).
#include "controls.h"
#include "dialogs.h"
#include "korvane/app/texts.h"

namespace korvane::win32 {

namespace {

enum : int { kProgramIcon = 100, kProductName, kVersion, kComments, kLabel1 };
constexpr int kIconSide = 48;

class TAboutBox : public Dialog {
  protected:
    DialogTemplate Template() const override {
        DialogTemplate dialog(text::kAboutTitle, 206, 118);
        dialog.Add(L"STATIC", "", -1, 7, 7, 192, 80, SS_SUNKEN, "Panel1");
        dialog.Add(L"STATIC", "", kProgramIcon, 14, 14, 34, 32, SS_ICON | SS_CENTERIMAGE,
                   "ProgramIcon");
        dialog.Label(text::kProductName, kProductName, 56, 16, 136, 10, "ProductName");
        dialog.Label(text::kVersion, kVersion, 56, 30, 136, 10, "Version");
        dialog.Label(text::kBetaRemark, kComments, 14, 54, 178, 26, "Comments");
        dialog.Button(text::kOk, IDOK, 78, 96, 50, 15, "OKButton", true);
        return dialog;
    }
    const char* Name() const override { return "AboutBox"; }
    void Init() override {
        auto* icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                                   IMAGE_ICON, Px(kIconSide), Px(kIconSide), 0));
        SendMessageW(Item(kProgramIcon), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        SetFont(Item(kProductName),
                BoldOf(reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0))));
    }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR&) override {
        if (message != WM_COMMAND || (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL))
            return false;
        End(kResultOK);
        return true;
    }
};

class Tcomingsoon : public Dialog {
  protected:
    DialogTemplate Template() const override {
        DialogTemplate dialog(text::kComingSoonTitle, 200, 54);
        dialog.Label(text::kComingSoon, kLabel1, 7, 10, 186, 10, "Label1");
        dialog.Button(text::kOk, IDOK, 75, 30, 50, 15, "BitBtn1", true);
        return dialog;
    }
    const char* Name() const override { return "comingsoon"; }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR&) override {
        if (message != WM_COMMAND || (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL))
            return false;
        End(kResultOK);
        return true;
    }
};

}  // namespace

void ShowAboutBox(HWND owner) {
    TAboutBox().Run(owner);
}

void ShowComingSoon(HWND owner) {
    Tcomingsoon().Run(owner);
}

}  // namespace korvane::win32
