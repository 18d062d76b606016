// Korvane on Windows: the main window first, then the app's start, then the
// message loop until "Quitter", the window's close box, or the end of the
// session, which all end the same way, settings saved.
// "--planificateur" runs the same behaviour with no window to see: a hidden
// window of its own gets the timers and the end of the session. Either is
// given the server of the access from the network (korvane/web), which its
// app starts while it leads the program folder.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "controls.h"
#include "demo_seams.h"
#include "dialogs.h"
#include "korvane/app/access_setup.h"
#include "korvane/app/app.h"
#include "korvane/app/headless.h"
#include "korvane/web/webservice.h"
#include "main_window.h"
#include "win32_scheduler.h"

namespace korvane::win32 {

namespace {

// The program's arguments, UTF-8, its own name left out.
std::vector<std::string> Arguments() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> words;
    for (int i = 1; i < count; ++i) words.push_back(U8(arguments[i]));
    LocalFree(arguments);
    return words;
}

bool PlannerOnly() {
    const std::vector<std::string> arguments = Arguments();
    return std::find(arguments.begin(), arguments.end(), "--planificateur") != arguments.end();
}

// "--acces-web [--port N]": what follows the switch. A program with no
// console of its own reads the password from its standard input when it is
// redirected (echo ...| korvane.exe --acces-web).
std::optional<std::vector<std::string>> AccessSetupArguments() {
    const std::vector<std::string> arguments = Arguments();
    const auto found = std::find(arguments.begin(), arguments.end(), "--acces-web");
    if (found == arguments.end()) return std::nullopt;
    return std::vector<std::string>(found + 1, arguments.end());
}

// The planner's hidden window: the end of the session, or a request to
// close (taskkill), end it as "Quitter" does. It is a top-level window, not a
// message-only one, since only those hear of the end of the session.
struct Planner {
    KorvaneApp* app = nullptr;
};

LRESULT CALLBACK PlannerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* planner = reinterpret_cast<Planner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // Windows may end the program as soon as this returns: it ends now.
            if (wParam != FALSE && planner != nullptr) planner->app->Exit(std::nullopt);
            return 0;
        case WM_CLOSE:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

int RunPlanner() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PlannerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KorvanePlanificateur";
    RegisterClassW(&windowClass);
    HWND window =
        CreateWindowExW(0, windowClass.lpszClassName, L"Korvane --planificateur", WS_POPUP, 0, 0, 0,
                        0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HeadlessView view;
    Win32Scheduler scheduler;
    SystemClock clock;
    KorvaneApp app(view, scheduler, clock, web::MakeWebService);
    Planner planner{&app};
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&planner));
    app.Start({}, true);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    app.Exit(std::nullopt);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
    return 0;
}

int RunWindow() {
    RegisterEnergyChart();
    Win32Scheduler scheduler;
    SystemClock clock;
    TForm1 form;
    if (!form.Create()) return 1;
    KorvaneApp app(form, scheduler, clock, web::MakeWebService);
    form.Attach(app);
    form.OnEndSession([&app, &form] { app.Exit(form.Geometry()); });
    app.Start(Screens());
    form.FormShow();
    DemoSeamsIfAsked(form);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (form.PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    app.Exit(form.Geometry());
    form.Destroy();
    return 0;
}

}  // namespace

}  // namespace korvane::win32

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_BAR_CLASSES |
                     ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES;
    InitCommonControlsEx(&controls);
    if (const auto setup = korvane::win32::AccessSetupArguments()) {
        return korvane::RunWebAccessSetup(*setup, korvane::web::MakeWebService);
    }
    if (korvane::win32::PlannerOnly()) return korvane::win32::RunPlanner();
    return korvane::win32::RunWindow();
}
