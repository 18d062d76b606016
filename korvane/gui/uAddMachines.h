// The intake dialog: the discovered machines that are not managed yet, seven
// at a time, and the list of managed entries that OK saves. Which machines
// the rows offer and what OK writes are decided in core/intake; the app
// gives the rows while the dialog is shown (KorvaneApp::Run).
#pragma once

#include <QDialog>
#include <array>

#include "korvane/core/intake.h"
#include "widgets.h"

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace korvane {

class KorvaneApp;

class TAddMachine : public QDialog {
  public:
    TAddMachine(KorvaneApp& app, QWidget* parent = nullptr);

    // One row of the designer: Label1 / Label2 / Label3 / SpeedButton1 for the
    // first, Label6 / Label5 / Label4 / SpeedButton2 for the second, ...,
    // nom7 / ip7 / mac7 / SpeedButton7 for the last.
    struct Row {
        QLabel* name = nullptr;
        QLabel* ip = nullptr;
        QLabel* mac = nullptr;
        QToolButton* button = nullptr;
        QLabel* mark = nullptr;  // what changed: "nouveau", "déplacé (...)", "vu il y a 3 j"
    };

    QLabel* StaticText3 = nullptr;
    std::array<Row, kIntakeRowCount> Rows{};
    std::array<QFrame*, kIntakeRowCount - 1> RowLines{};
    QPushButton* purger = nullptr;
    QLabel* StaticText1 = nullptr;
    QLabel* Help = nullptr;  // the network card's setting that lets computers sleep
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* BitBtn1 = nullptr;  // OK
    QPushButton* BitBtn2 = nullptr;  // Annuler

    void FormActivate();
    void ShowRows(const IntakeRows& rows);
    TextList MemoLines() const;
    void SpeedButton1Click() { MoveRowToMemo(0); }
    void SpeedButton2Click() { MoveRowToMemo(1); }
    void SpeedButton3Click() { MoveRowToMemo(2); }
    void SpeedButton4Click() { MoveRowToMemo(3); }
    void SpeedButton5Click() { MoveRowToMemo(4); }
    void SpeedButton6Click() { MoveRowToMemo(5); }
    void SpeedButton7Click() { MoveRowToMemo(6); }
    void BitBtn1Click();

    // The close box, Escape and Annuler all give the Cancel result.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    KorvaneApp& app_;
    void BuildRows();
    void BuildMemo();
    void MoveRowToMemo(int row);
    void SetMemoLines(const TextList& lines);
};

}  // namespace korvane
