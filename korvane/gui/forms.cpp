#include "forms.h"

#include "main.h"
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
}

Forms::Forms() {
    current = this;
    form1_ = std::make_unique<TForm1>();
    aboutBox_ = std::make_unique<TAboutBox>(form1_.get());
    prefs_ = std::make_unique<TPrefs>(form1_.get());
    okBottomDlg_ = std::make_unique<TOKBottomDlg>(form1_.get());
    machines_ = std::make_unique<Tmachines>(form1_.get());
    addMachine_ = std::make_unique<TAddMachine>(form1_.get());
    comingsoon_ = std::make_unique<Tcomingsoon>(form1_.get());
    console_ = std::make_unique<TConsole>(form1_.get());
    energyReport_ = std::make_unique<TEnergyReport>(form1_.get());
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
    form1_.reset();
    current = nullptr;
}

Forms* Application() {
    return current;
}

}  // namespace korvane
