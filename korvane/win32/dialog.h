// Korvane's dialogs are built in memory as dialog templates in dialog units:
// Windows lays them out in the dialog font ("MS Shell Dlg", 8 points), which
// grows with the system DPI, so every dialog scales without a pixel of its
// own. A Dialog runs such a template, modal or not, and hands its messages
// to the derived class.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace korvane::win32 {

class DialogTemplate {
  public:
    // A dialog of `width` x `height` dialog units, centred on its owner.
    DialogTemplate(const std::string& title, short width, short height,
                   DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
    // A control at (x, y), `cx` x `cy` dialog units; `name` is its test hook name.
    DialogTemplate& Add(const wchar_t* windowClass, const std::string& text, int id, short x,
                        short y, short cx, short cy, DWORD style, const char* name,
                        DWORD exStyle = 0);
    DialogTemplate& Label(const std::string& text, int id, short x, short y, short cx, short cy,
                          const char* name, DWORD style = SS_LEFT);
    DialogTemplate& Button(const std::string& text, int id, short x, short y, short cx, short cy,
                           const char* name, bool isDefault = false);
    DialogTemplate& Edit(int id, short x, short y, short cx, short cy, const char* name,
                         DWORD style = ES_AUTOHSCROLL);

    const DLGTEMPLATE* Data() const;
    // Registers each control's name with the test hook.
    void NameControls(HWND dialog, const char* dialogName) const;

  private:
    void Word(WORD value);
    void Text(const std::wstring& text);
    void Align();
    std::vector<WORD> words_;
    std::vector<std::pair<int, std::string>> names_;
    std::size_t countAt_ = 0;
};

class Dialog {
  public:
    // A window still open (a modeless one at exit) goes with its object.
    virtual ~Dialog();
    // Modal: returns the result given to End (2 when the dialog could not open).
    INT_PTR Run(HWND owner);
    // Modeless: shows the dialog (made once, then shown again) and returns.
    void Show(HWND owner);
    HWND Handle() const { return window_; }

  protected:
    virtual DialogTemplate Template() const = 0;
    virtual const char* Name() const = 0;
    // WM_INITDIALOG, after the controls exist.
    virtual void Init() {}
    // Every other message; true when handled (the value goes in DWLP_MSGRESULT).
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    void End(INT_PTR result);
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    std::string ItemText(int id) const;
    void SetItemText(int id, const std::string& utf8);

    HWND window_ = nullptr;
    bool modal_ = false;

  private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    DialogTemplate shown_{"", 0, 0};
};

// The answer to WM_CTLCOLORSTATIC for a static text in these colours.
INT_PTR PaintStatic(WPARAM dc, COLORREF text, COLORREF background);

}  // namespace korvane::win32
