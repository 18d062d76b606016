// The on/off dialog of a map entry: its name, address and hardware address,
// its daily wake-up and shutdown times, whether it is shut down over SSH and
// as which user, "ON", "OFF", "Redémarrer" and "Tester l'accès" (CardChoice,
// its modal results). "Annuler", its close box and Escape give none of them.
// What each choice does, and the saving of its fields, are the app's
// (KorvaneApp::EntryClicked).
#pragma once

#include <QDialog>

#include "korvane/app/view.h"
#include "widgets.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvane {

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
    QLabel* Label6 = nullptr;  // the SSH user's
    QLineEdit* ssh_user = nullptr;

    // Shows the card until the dialog closes: how it closed, and its fields
    // as the user left them.
    CardAnswer Ask(const EntryCard& card);
};

}  // namespace korvane
