#include "dialog.h"

#include "controls.h"
#include "test_hook.h"

namespace korvane::win32 {

namespace {

constexpr WORD kFontPoints = 8;

// DLGTEMPLATEEX's fixed part, then its menu, class, title and font.
constexpr WORD kDialogVersion = 1;
constexpr WORD kExtendedSignature = 0xFFFF;

WORD Low(DWORD value) {
    return static_cast<WORD>(value & 0xFFFF);
}

WORD High(DWORD value) {
    return static_cast<WORD>(value >> 16);
}

}  // namespace

DialogTemplate::DialogTemplate(const std::string& title, short width, short height, DWORD style) {
    style |= DS_SHELLFONT | DS_CENTER | WS_VISIBLE;
    for (const WORD word : {kDialogVersion, kExtendedSignature}) Word(word);
    for (const DWORD value : {DWORD{0}, DWORD{0}, style}) {  // help id, extended style, style
        Word(Low(value));
        Word(High(value));
    }
    countAt_ = words_.size();
    Word(0);  // the number of controls
    for (const short value : {short{0}, short{0}, width, height}) Word(static_cast<WORD>(value));
    Word(0);  // no menu
    Word(0);  // the dialog's own class
    Text(W(title));
    Word(kFontPoints);
    Word(FW_NORMAL);
    Word(static_cast<WORD>(DEFAULT_CHARSET << 8));  // not italic, the default character set
    Text(L"MS Shell Dlg");
}

DialogTemplate& DialogTemplate::Add(const wchar_t* windowClass, const std::string& text, int id,
                                    short x, short y, short cx, short cy, DWORD style,
                                    const char* name, DWORD exStyle) {
    Align();
    style |= WS_CHILD | WS_VISIBLE;
    for (const DWORD value : {DWORD{0}, exStyle, style}) {
        Word(Low(value));
        Word(High(value));
    }
    for (const short value : {x, y, cx, cy}) Word(static_cast<WORD>(value));
    Word(Low(static_cast<DWORD>(id)));
    Word(High(static_cast<DWORD>(id)));
    Text(windowClass);
    Text(W(text));
    Word(0);  // no creation data
    ++words_[countAt_];
    if (name != nullptr) names_.emplace_back(id, name);
    return *this;
}

DialogTemplate& DialogTemplate::Label(const std::string& text, int id, short x, short y, short cx,
                                      short cy, const char* name, DWORD style) {
    return Add(L"STATIC", text, id, x, y, cx, cy, style | SS_NOPREFIX, name);
}

DialogTemplate& DialogTemplate::Button(const std::string& text, int id, short x, short y, short cx,
                                       short cy, const char* name, bool isDefault) {
    return Add(L"BUTTON", text, id, x, y, cx, cy,
               WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), name);
}

DialogTemplate& DialogTemplate::Edit(int id, short x, short y, short cx, short cy, const char* name,
                                     DWORD style) {
    return Add(L"EDIT", "", id, x, y, cx, cy, WS_TABSTOP | WS_BORDER | style, name);
}

const DLGTEMPLATE* DialogTemplate::Data() const {
    return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
}

void DialogTemplate::NameControls(HWND dialog, const char* dialogName) const {
    hook::Name(dialog, dialogName);
    for (const auto& [id, name] : names_) hook::Name(GetDlgItem(dialog, id), name);
}

void DialogTemplate::Word(WORD value) {
    words_.push_back(value);
}

void DialogTemplate::Text(const std::wstring& text) {
    for (const wchar_t c : text) Word(static_cast<WORD>(c));
    Word(0);
}

// Every control's template starts on a DWORD.
void DialogTemplate::Align() {
    if (words_.size() % 2 != 0) Word(0);
}

// --- Dialog ----------------------------------------------------------------

Dialog::~Dialog() {
    if (window_ == nullptr) return;
    SetWindowLongPtrW(window_, DWLP_USER, 0);
    DestroyWindow(window_);
}

INT_PTR Dialog::Run(HWND owner) {
    modal_ = true;
    shown_ = Template();
    const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), shown_.Data(), owner,
                                                   Proc, reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    hook::Changed();
    return result > 0 ? result : kResultCancel;
}

void Dialog::Show(HWND owner) {
    modal_ = false;
    if (window_ == nullptr) {
        shown_ = Template();
        CreateDialogIndirectParamW(GetModuleHandleW(nullptr), shown_.Data(), owner, Proc,
                                   reinterpret_cast<LPARAM>(this));
    }
    if (window_ == nullptr) return;
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    hook::Changed();
}

void Dialog::End(INT_PTR result) {
    if (modal_) {
        EndDialog(window_, result);
    } else {
        DestroyWindow(window_);
    }
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) {
    return false;
}

std::string Dialog::ItemText(int id) const {
    return TextOfU8(Item(id));
}

void Dialog::SetItemText(int id, const std::string& utf8) {
    SetText(Item(id), utf8);
}

INT_PTR CALLBACK Dialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
        self->shown_.NameControls(window, self->Name());
        self->Init();
        return TRUE;
    }
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    if (message == WM_NCDESTROY) {
        self->window_ = nullptr;
        hook::Changed();
        return FALSE;
    }
    INT_PTR result = 0;
    if (!self->OnMessage(message, wParam, lParam, result)) return FALSE;
    // WM_CTLCOLOR* answers with its brush; the others through DWLP_MSGRESULT.
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) return result;
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR PaintStatic(WPARAM dc, COLORREF text, COLORREF background) {
    auto* context = reinterpret_cast<HDC>(dc);
    SetTextColor(context, text);
    SetBkColor(context, background);
    return reinterpret_cast<INT_PTR>(BrushOf(background));
}

}  // namespace korvane::win32
