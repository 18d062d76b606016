// The one-line input dialog that several commands share: the caller sets the
// prompt and the initial text, shows it, and reads the line. "OK" (Enter)
// closes it with 1, "Annuler" (Escape, the close box) with 2.
#pragma once

#include <QDialog>

#include "widgets.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvane {

class TOKBottomDlg : public QDialog {
  public:
    explicit TOKBottomDlg(QWidget* parent = nullptr);

    QFrame* Bevel1 = nullptr;
    QLabel* geditLabel = nullptr;
    QLineEdit* gEdit = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    void reject() override;  // Escape and the close box: "Annuler"

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace korvane
