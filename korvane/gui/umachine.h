// The on/off dialog of a map entry: its name, address and hardware address,
// its daily wake-up and shutdown times, "ON" (result 6) and "OFF" (result 7).
// "Annuler", its close box and Escape give neither result, and nothing is
// sent. The times are saved however it closes, before "ON" or "OFF" acts.
#pragma once

#include <QDialog>

#include "widgets.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvane {

class KorvaneApp;

class Tmachines : public QDialog {
  public:
    explicit Tmachines(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* nommachine = nullptr;
    QLabel* ipmachine = nullptr;
    QLabel* macmachine = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* btn_on = nullptr;
    QPushButton* btn_off = nullptr;
    QPushButton* btn_cancel = nullptr;

    // Shows the dialog for `entry` until it closes; its times are then saved.
    // Gives the modal result.
    int ExecFor(KorvaneApp& app, int entry);
};

}  // namespace korvane
