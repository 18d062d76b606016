// The on/off dialog of a map entry: its name, address and hardware address,
// its daily wake-up and shutdown times, whether it is shut down over SSH and
// as which user, "ON" (result 6), "OFF" (result 7), "Redémarrer" (8) and
// "Tester l'accès" (9). "Annuler", its close box and Escape give none of
// them, and nothing is sent. The times and the SSH setting are saved however
// it closes, before a button acts.
#pragma once

#include <QDialog>

#include "widgets.h"

class QCheckBox;
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
    QPushButton* btn_restart = nullptr;
    QPushButton* btn_test = nullptr;
    QCheckBox* chk_ssh = nullptr;
    QLineEdit* ssh_user = nullptr;

    // Shows the dialog for `entry` until it closes; its times are then saved.
    // Gives the modal result.
    int ExecFor(KorvaneApp& app, int entry);
};

}  // namespace korvane
