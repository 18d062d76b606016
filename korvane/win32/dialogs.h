// Korvane's dialogs on Windows, each drawing what the app layer gives and
// forwarding its buttons to it, as the Qt dialogs do. Modal ones are made
// at each showing; the console and the energy report stay open beside the
// main window.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "dialog.h"
#include "korvane/app/app.h"
#include "pictures.h"

namespace korvane::win32 {

// The on/off dialog of a map entry: its name, address and hardware address,
// its daily times, its SSH setting, "ON", "OFF", "Redémarrer" and "Tester
// l'accès" (CardChoice); "Annuler", its close box and Escape give none. What
// each choice does, and the saving of its fields, are the app's
// (KorvaneApp::EntryClicked).
class Tmachines : public Dialog {
  public:
    explicit Tmachines(const Picture& image) : image_(image) {}
    // Shows the card until the dialog closes: how it closed, and its fields
    // as the user left them.
    CardAnswer Ask(HWND owner, const EntryCard& card);

  protected:
    DialogTemplate Template() const override;
    const char* Name() const override { return "machines"; }
    void Init() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  private:
    void Close(CardChoice choice);
    const Picture& image_;
    CardAnswer answer_;
};

// The preferences: computers per row, the shutdown's delay and comment. A
// refused field keeps the dialog open, nothing changed.
class TPrefs : public Dialog {
  public:
    explicit TPrefs(KorvaneApp& app) : app_(app) {}

  protected:
    DialogTemplate Template() const override;
    const char* Name() const override { return "Prefs"; }
    void Init() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  private:
    void BitBtn1Click();
    void ShowWeb();
    void MakeTokenClick();
    void RevokeClick();
    KorvaneApp& app_;
    std::vector<std::string> tokenIds_;  // the id of each row of the tokens' list
};

// The one-line input dialog: the caller's prompt and initial text; the text
// typed on "OK", nothing on "Annuler" or the close box.
std::optional<std::string> AskLine(HWND owner, const std::string& prompt,
                                   const std::string& initial);

// The intake dialog: the discovered machines not yet managed, seven at a
// time, as the app gives them while it is shown, and the list of managed
// entries that OK saves.
class TAddMachine : public Dialog {
  public:
    explicit TAddMachine(KorvaneApp& app) : app_(app) {}
    void ShowRows(const IntakeRows& rows);
    TextList MemoLines() const;

  protected:
    DialogTemplate Template() const override;
    const char* Name() const override { return "AddMachine"; }
    void Init() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  private:
    void FormActivate();
    void MoveRowToMemo(int row);
    void BitBtn1Click();
    void SetMemoLines(const TextList& lines);
    KorvaneApp& app_;
};

// "A propos", and the box of what is not there yet.
void ShowAboutBox(HWND owner);
void ShowComingSoon(HWND owner);

// The console log's own window, not modal: it follows the log as it grows.
class TConsole : public Dialog {
  public:
    explicit TConsole(KorvaneApp& app) : app_(app) {}
    void Follow();

  protected:
    DialogTemplate Template() const override;
    const char* Name() const override { return "ConsoleLog"; }
    void Init() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  private:
    void BtnSaveClick();
    KorvaneApp& app_;
};

// The energy report: hours on per day over the period as a bar chart, the
// power draw of each computer (editable) and its energy, exported to CSV.
class TEnergyReport : public Dialog {
  public:
    explicit TEnergyReport(KorvaneApp& app) : app_(app) {}
    void ShowFor(HWND owner, const TextList& names);
    void Refresh();
    bool BtnExportClick();

  protected:
    DialogTemplate Template() const override;
    const char* Name() const override { return "Consommation"; }
    void Init() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  private:
    void FillGrid();
    void StartEdit(int row);
    void EndEdit(bool keep);
    static LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    KorvaneApp& app_;
    TextList names_;
    EnergyReport report_;
    HWND editor_ = nullptr;
    int editedRow_ = -1;
};

// The energy chart: a control that draws the report it is given with GDI.
void RegisterEnergyChart();
inline constexpr const wchar_t* kEnergyChartClass = L"KorvaneChart";
// The report the chart draws (kept by the caller while shown).
void SetChartReport(HWND chart, const EnergyReport* report);

}  // namespace korvane::win32
