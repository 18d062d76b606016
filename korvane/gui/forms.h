// Korvane's windows over its app layer: the main window first, which the app
// layer draws on, then the app's start, then the dialogs and the two report
// windows, all living until exit.
#pragma once

#include <memory>
#include <optional>

#include "korvane/app/web_serving.h"

namespace korvane {

class Clock;
class KorvaneApp;
class Scheduler;
class QtScheduler;
class TForm1;
class TAboutBox;
class TPrefs;
class TOKBottomDlg;
class Tmachines;
class TAddMachine;
class Tcomingsoon;
class TConsole;
class TEnergyReport;

class Forms {
  public:
    // Creates every window, in order, and starts Korvane; a `clock` or a
    // `scheduler` given (kept by the caller) replaces the system clock or
    // Qt's timers. `serving` makes the server of the access from the network.
    explicit Forms(const Clock* clock = nullptr, Scheduler* scheduler = nullptr,
                   WebServingMaker serving = {});
    // Destroys the windows in the reverse order: the main window last.
    // Writes nothing: Close does.
    ~Forms();
    // Korvane's exit: the timers stop, the settings are written with the
    // window's place, the slot files go. Once; before the destruction.
    void Close();

    KorvaneApp& App() const { return *app_; }
    TForm1* Form1() const { return form1_.get(); }
    TAboutBox* AboutBox() const { return aboutBox_.get(); }
    TPrefs* Prefs() const { return prefs_.get(); }
    TOKBottomDlg* OKBottomDlg() const { return okBottomDlg_.get(); }
    Tmachines* machines() const { return machines_.get(); }
    TAddMachine* AddMachine() const { return addMachine_.get(); }
    Tcomingsoon* comingsoon() const { return comingsoon_.get(); }
    TConsole* Console() const { return console_.get(); }
    TEnergyReport* EnergyReport() const { return energyReport_.get(); }

  private:
    std::unique_ptr<Clock> ownClock_;
    std::unique_ptr<QtScheduler> ownScheduler_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<KorvaneApp> app_;
    std::unique_ptr<TAboutBox> aboutBox_;
    std::unique_ptr<TPrefs> prefs_;
    std::unique_ptr<TOKBottomDlg> okBottomDlg_;
    std::unique_ptr<Tmachines> machines_;
    std::unique_ptr<TAddMachine> addMachine_;
    std::unique_ptr<Tcomingsoon> comingsoon_;
    std::unique_ptr<TConsole> console_;
    std::unique_ptr<TEnergyReport> energyReport_;
};

// The windows of the running program; null before they exist and after exit.
Forms* Application();

}  // namespace korvane
