// Korvane: the main window first, then its dialogs, then the message loop
// until "Quitter", the window's close box, or a request to end (a desktop
// logout, Ctrl+C), which all end the same way, settings saved.
// "--planificateur" runs the same behaviour with no window at all;
// "--acces-web" turns the access from the network on from the terminal. Whichever
// runs, it is given the server of the access from the network (korvane/web),
// which its app starts while it leads the program folder.
#include <QApplication>
#include <QSocketNotifier>
#include <string>
#include <string_view>
#include <vector>

#include "demo_seams.h"
#include "forms.h"
#include "korvane/app/access_setup.h"
#include "korvane/app/headless.h"
#include "korvane/web/webservice.h"
#include "main_window.h"
#include "platform/platform.h"

namespace {

namespace platform = toolkit::platform;

// A request to end turns into the end of every loop running then: the
// message loop's, or a message box's during the start (QCoreApplication::quit
// would do nothing there, before the message loop runs). The request's flag
// tells main() not to start the message loop at all.
void QuitOnRequests(QApplication& app) {
    const int descriptor = platform::QuitRequestDescriptor();
    if (descriptor < 0) return;
    auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        platform::DrainQuitRequests();
        QCoreApplication::exit(0);
    });
}

bool HasArgument(int argc, char** argv, std::string_view wanted) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == wanted) return true;
    }
    return false;
}

// "--acces-web [--port N]": what follows the switch.
std::vector<std::string> ArgumentsAfter(int argc, char** argv, std::string_view wanted) {
    std::vector<std::string> after;
    bool seen = false;
    for (int i = 1; i < argc; ++i) {
        if (seen) after.emplace_back(argv[i]);
        if (std::string_view(argv[i]) == wanted) seen = true;
    }
    return after;
}

}  // namespace

int main(int argc, char** argv) {
    // Asked on the terminal before the requests to end are caught: Ctrl+C
    // there ends it at once, the terminal given back as it was.
    if (HasArgument(argc, argv, "--acces-web")) {
        return korvane::RunWebAccessSetup(ArgumentsAfter(argc, argv, "--acces-web"),
                                          korvane::web::MakeWebService);
    }
    platform::CatchQuitRequests();
    if (HasArgument(argc, argv, "--planificateur"))
        return korvane::RunHeadless(korvane::web::MakeWebService);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QuitOnRequests(app);
    // A request to end during the start ends the start's boxes.
    korvane::Forms forms(nullptr, nullptr, korvane::web::MakeWebService);
    if (!platform::QuitRequested()) {
        forms.Form1()->show();
        korvane::DemoSeamsIfAsked(*forms.Form1());
        QApplication::exec();
    }
    forms.Close();
    return 0;
}
