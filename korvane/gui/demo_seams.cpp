#include "demo_seams.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <string>
#include <string_view>

#include "forms.h"
#include "korvane/app/app.h"
#include "main_window.h"
#include "uenergy.h"
#include "umachine.h"
#include "utils.h"

namespace korvane {

namespace {

void ScreenshotIfAsked(TForm1* form) {
    const char* file = std::getenv("KORVANE_SCREENSHOT");
    if (file == nullptr || *file == '\0') return;
    const char* delayText = std::getenv("KORVANE_SCREENSHOT_DELAY");
    const int delay = delayText != nullptr ? std::atoi(delayText) : 3;
    const char* report = std::getenv("KORVANE_SCREENSHOT_REPORT");
    const bool ofReport = report != nullptr && std::string_view(report) == "1";
    const QString path = QString::fromLocal8Bit(file);
    QTimer::singleShot(delay * 1000, form, [form, path, ofReport] {
        if (ofReport) {
            form->App().Run(Command::Energy);
            TEnergyReport* window = Application()->EnergyReport();
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

// So that a run without anyone at the screen shows a host woken.
void PressOnIfAsked(TForm1* form) {
    const char* entry = std::getenv("KORVANE_DEMO_WAKE");
    if (entry == nullptr || *entry == '\0') return;
    constexpr int kDelay = 5000;
    const std::string name = entry;
    QTimer::singleShot(kDelay, form, [form, name] {
        const auto index = toolkit::IndexOfLine(form->App().Vars().ManagedList, name);
        if (!index || *index >= form->EntryButtons.size()) return;
        GlyphButton* button = form->EntryButtons[*index];
        Tmachines* dialog = Application()->machines();
        if (button == nullptr || dialog == nullptr) return;
        QTimer::singleShot(0, dialog, [dialog] { dialog->btn_on->click(); });
        button->click();
    });
}

}  // namespace

void DemoSeamsIfAsked(TForm1& form) {
    ScreenshotIfAsked(&form);
    PressOnIfAsked(&form);
}

}  // namespace korvane
