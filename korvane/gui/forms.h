// Korvane's windows, created in a fixed order at start and living until exit:
// the main window first, then the dialogs and the two report windows.
#pragma once

#include <memory>

namespace korvane {

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
    Forms();   // creates every window, in order
    ~Forms();  // destroys them in the reverse order: the main window last

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
    std::unique_ptr<TForm1> form1_;
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
