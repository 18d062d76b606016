// Korvane: the main window first, then its dialogs, then the message loop
// until "Quitter", the window's close box, or a request to end (a desktop
// logout, Ctrl+C), which all end the same way, settings saved.
// "--planificateur" runs the same behaviour with no window at all.
#include <QApplication>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdlib>
#include <string_view>

#include "forms.h"
#include "korvane/app/app.h"
#include "korvane/app/headless.h"
#include "main_window.h"
#include "platform/platform.h"
#include "uenergy.h"
#include "umachine.h"

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

// For the demonstration without a display: KORVANE_SCREENSHOT=FILE saves a
// picture of the window after KORVANE_SCREENSHOT_DELAY seconds (default 3),
// then quits as "Quitter" does.
// KORVANE_SCREENSHOT_REPORT=1 takes the energy report of every entry instead.
void ScreenshotIfAsked(korvane::TForm1* form) {
    const char* file = std::getenv("KORVANE_SCREENSHOT");
    if (file == nullptr || *file == '\0') return;
    const char* delayText = std::getenv("KORVANE_SCREENSHOT_DELAY");
    const int delay = delayText != nullptr ? std::atoi(delayText) : 3;
    const char* report = std::getenv("KORVANE_SCREENSHOT_REPORT");
    const bool ofReport = report != nullptr && std::string_view(report) == "1";
    const QString path = QString::fromLocal8Bit(file);
    QTimer::singleShot(delay * 1000, form, [form, path, ofReport] {
        if (ofReport) {
            form->Consommation1Click();
            korvane::TEnergyReport* window = korvane::Application()->EnergyReport();
            QTimer::singleShot(500, window, [window, path] {
                window->grab().save(path);
                QCoreApplication::quit();
            });
            return;
        }
        form->grab().save(path);
        QCoreApplication::quit();
    });
}

bool PlannerOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--planificateur") return true;
    }
    return false;
}

// For the demonstration: KORVANE_DEMO_WAKE=ENTRY presses that entry's map
// button 5 s after start and answers "ON" in the on/off dialog, as the user
// would, so that a run without anyone at the screen shows a host woken.
void PressOnIfAsked(korvane::TForm1* form) {
    const char* entry = std::getenv("KORVANE_DEMO_WAKE");
    if (entry == nullptr || *entry == '\0') return;
    constexpr int kDelay = 5000;
    const std::string name = entry;
    QTimer::singleShot(kDelay, form, [form, name] {
        const auto index = toolkit::IndexOfLine(form->App().Vars().ManagedList, name);
        if (!index || *index >= form->EntryButtons.size()) return;
        korvane::GlyphButton* button = form->EntryButtons[*index];
        korvane::Tmachines* dialog = korvane::Application()->machines();
        if (button == nullptr || dialog == nullptr) return;
        QTimer::singleShot(0, dialog, [dialog] { dialog->btn_on->click(); });
        button->click();
    });
}

}  // namespace

int main(int argc, char** argv) {
    platform::CatchQuitRequests();
    if (PlannerOnly(argc, argv)) return korvane::RunHeadless();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QuitOnRequests(app);
    korvane::Forms forms;  // a request to end during the start ends the start's boxes
    if (!platform::QuitRequested()) {
        forms.Form1()->show();
        ScreenshotIfAsked(forms.Form1());
        PressOnIfAsked(forms.Form1());
        QApplication::exec();
    }
    forms.Close();
    return 0;
}
