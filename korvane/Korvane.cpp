// Korvane: the main window first, then its dialogs, then the message loop
// until "Quitter", the window's close box, or SIGTERM / SIGINT (a desktop
// logout, Ctrl+C), which all end the same way, settings saved.
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "KrvVar.h"
#include "forms.h"
#include "main.h"
#include "messages.h"
#include "uenergy.h"
#include "umachine.h"

namespace {

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t quitRequested = 0;

void OnQuitSignal(int) {
    quitRequested = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = write(signalPipe[1], &byte, 1);
}

// Taken over first of all, so that no moment of the start is left to the
// default action, which would end the program without saving its settings.
// Non-blocking: signals arriving faster than they are read never block the
// handler.
void CatchQuitSignals() {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// The signal handler only writes a byte; the event loop running then turns it
// into the end of every loop: the message loop's, or a message box's during
// the start (QCoreApplication::quit would do nothing there, before the message
// loop runs). The flag tells main() not to start the message loop at all.
void QuitOnSignals(QApplication& app) {
    if (signalPipe[0] < 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t ignored = read(signalPipe[0], &byte, 1);
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

// "--planificateur": the plan runs with no window shown, for a session
// service or an autostart entry; what the boxes would say goes to the
// standard error (the service's journal), and questions are answered "Non".
bool PlannerOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--planificateur") return true;
    }
    return false;
}

void MessagesToStandardError() {
    korvane::SetMessageSink([](const QString& text) {
        std::fprintf(stderr, "korvane : %s\n", text.toLocal8Bit().constData());
    });
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
        const auto index = toolkit::IndexOfLine(korvane::Krv().ManagedList, name);
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
    CatchQuitSignals();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QuitOnSignals(app);
    const bool plannerOnly = PlannerOnly(argc, argv);
    if (plannerOnly) MessagesToStandardError();
    korvane::Forms forms;  // a quit request during the start ends the start's boxes
    if (quitRequested) return 0;
    if (plannerOnly) return QApplication::exec();
    forms.Form1()->show();
    ScreenshotIfAsked(forms.Form1());
    PressOnIfAsked(forms.Form1());
    return QApplication::exec();
}
