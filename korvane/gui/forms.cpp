#include "forms.h"

#include <QGuiApplication>
#include <QScreen>

#include "korvane/app/app.h"
#include "main_window.h"
#include "qt_scheduler.h"
#include "uAddMachines.h"
#include "uBottomdlg.h"
#include "uapropos.h"
#include "ucomingsoon.h"
#include "uconsole.h"
#include "uenergy.h"
#include "umachine.h"
#include "uprefs.h"

namespace korvane {

namespace {

Forms* current = nullptr;

// The screens' free areas, the primary one first.
std::vector<Rect> Screens() {
    std::vector<Rect> screens;
    QList<QScreen*> all = QGuiApplication::screens();
    all.removeOne(QGuiApplication::primaryScreen());
    all.prepend(QGuiApplication::primaryScreen());
    for (const QScreen* screen : all) {
        if (screen == nullptr) continue;
        const QRect area = screen->availableGeometry();
        screens.push_back({area.x(), area.y(), area.width(), area.height()});
    }
    return screens;
}

}  // namespace

Forms::Forms(const Clock* clock, Scheduler* scheduler, WebServingMaker serving) {
    current = this;
    if (clock == nullptr) {
        ownClock_ = std::make_unique<SystemClock>();
        clock = ownClock_.get();
    }
    if (scheduler == nullptr) {
        ownScheduler_ = std::make_unique<QtScheduler>();
        scheduler = ownScheduler_.get();
    }
    form1_ = std::make_unique<TForm1>();
    app_ = std::make_unique<KorvaneApp>(*form1_, *scheduler, *clock, std::move(serving));
    form1_->Attach(*app_);
    app_->Start(Screens());
    aboutBox_ = std::make_unique<TAboutBox>(form1_.get());
    prefs_ = std::make_unique<TPrefs>(*app_, form1_.get());
    okBottomDlg_ = std::make_unique<TOKBottomDlg>(form1_.get());
    machines_ = std::make_unique<Tmachines>(form1_.get());
    addMachine_ = std::make_unique<TAddMachine>(*app_, form1_.get());
    comingsoon_ = std::make_unique<Tcomingsoon>(form1_.get());
    console_ = std::make_unique<TConsole>(*app_, form1_.get());
    energyReport_ = std::make_unique<TEnergyReport>(*app_, form1_.get());
}

void Forms::Close() {
    const QPoint place = form1_->pos();
    app_->Exit(WindowGeometry{place.x(), place.y(), form1_->height()});
}

Forms::~Forms() {
    energyReport_.reset();
    console_.reset();
    comingsoon_.reset();
    addMachine_.reset();
    machines_.reset();
    okBottomDlg_.reset();
    prefs_.reset();
    aboutBox_.reset();
    app_.reset();
    form1_.reset();
    ownScheduler_.reset();
    current = nullptr;
}

Forms* Application() {
    return current;
}

}  // namespace korvane
