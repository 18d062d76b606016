// The one-line input dialog (TOKBottomDlg): the caller sets the prompt and
// the initial text, shows it, and reads the text.
#include "controls.h"
#include "dialogs.h"
#include "korvane/app/texts.h"

namespace korvane::win32 {

namespace {

enum : int { kGeditLabel = 100, kGEdit };

class TOKBottomDlg : public Dialog {
  public:
    TOKBottomDlg(const std::string& prompt, const std::string& initial)
        : prompt_(prompt), text_(initial) {}
    const std::string& Text() const { return text_; }

  protected:
    DialogTemplate Template() const override {
        DialogTemplate dialog(text::kLineTitle, 248, 86);
        dialog.Add(L"STATIC", "", -1, 7, 7, 234, 50, SS_ETCHEDFRAME, "Bevel1");
        dialog.Label("", kGeditLabel, 14, 14, 220, 18, "geditLabel");
        dialog.Edit(kGEdit, 14, 36, 220, 12, "gEdit");
        dialog.Button(text::kOk, IDOK, 132, 64, 50, 15, "OKBtn", true);
        dialog.Button(text::kCancel, IDCANCEL, 191, 64, 50, 15, "CancelBtn");
        return dialog;
    }
    const char* Name() const override { return "OKBottomDlg"; }
    void Init() override {
        SetItemText(kGeditLabel, prompt_);
        SetItemText(kGEdit, text_);
        SendMessageW(Item(kGEdit), EM_SETSEL, 0, -1);
        SetFocus(Item(kGEdit));
    }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR&) override {
        if (message != WM_COMMAND) return false;
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            text_ = ItemText(kGEdit);
            End(LOWORD(wParam) == IDOK ? kResultOK : kResultCancel);
            return true;
        }
        return false;
    }

  private:
    std::string prompt_;
    std::string text_;
};

}  // namespace

std::optional<std::string> AskLine(HWND owner, const std::string& prompt,
                                   const std::string& initial) {
    TOKBottomDlg dialog(prompt, initial);
    if (dialog.Run(owner) != kResultOK) return std::nullopt;
    return dialog.Text();
}

}  // namespace korvane::win32
