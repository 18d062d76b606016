#include "program_folder.h"

#include <QImage>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include "korvane/core/timescale.h"
#include "messages.h"
#include "tools.h"

namespace gui_testing {

namespace fs = std::filesystem;

namespace {
const char* const kBitmaps[] = {"led-rouge.bmp",  "led-vert.bmp",   "led-orange.bmp",
                                "led-gris.bmp",   "ecran-on.bmp",   "ecran-off.bmp",
                                "neufbox_on.bmp", "neufbox_off.bmp"};
}

ProgramFolder::ProgramFolder() {
    for (const char* bitmap : kBitmaps) InstallProgram(bitmap);
    InstallProgram("netcmd");  // the adapter listing comes from it
    korvane::SetMessageSink([this](const QString& text) { messages_.append(text); });
}

ProgramFolder::~ProgramFolder() {
    Stop();
    korvane::SetMessageSink({});
}

korvane::TimerId StillScheduler::Every(int ms, korvane::TimerCallback callback) {
    // Ids far above Qt's: cancelling them cancels nothing.
    static korvane::TimerId held = korvane::TimerId{1} << 62;
    if (ms == korvane::ScaledInterval(10000) || ms == korvane::ScaledInterval(60000)) return ++held;
    return QtScheduler::Every(ms, std::move(callback));
}

korvane::TForm1& ProgramFolder::Start() {
    forms_ = std::make_unique<korvane::Forms>(&clock_);
    forms_->App().WebPrefs().SetSystem({});  // no systemctl, no registry from a test
    return Form();
}

korvane::TForm1& ProgramFolder::StartStill() {
    still_ = std::make_unique<StillScheduler>();
    forms_ = std::make_unique<korvane::Forms>(&clock_, still_.get());
    forms_->App().WebPrefs().SetSystem({});
    Form().show();
    return Form();
}

void ProgramFolder::Stop() {
    if (!forms_) return;
    forms_->Close();
    forms_.reset();
    still_.reset();
}

bool SamePicture(const QPixmap& a, const QPixmap& b) {
    return !a.isNull() && a.toImage() == b.toImage();
}

bool HasPendingRequests(const korvane::TForm1& form) {
    return form.App().PendingRequests();
}

int ConsoleLines(const korvane::TForm1& form, const QString& start) {
    int count = 0;
    for (const QString& line : form.console->toPlainText().split('\n'))
        count += line.startsWith(start);
    return count;
}

void ClickEntry(korvane::TForm1& form, int entry,
                const std::function<void(korvane::Tmachines*)>& press) {
    korvane::Tmachines* dialog = korvane::Application()->machines();
    ASSERT_NE(form.EntryButtons.at(entry), nullptr);
    QTimer::singleShot(0, dialog, [dialog, press] { press(dialog); });
    form.EntryButtons.at(entry)->click();
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    return QTest::qWaitFor(done, ms);
}

}  // namespace gui_testing
