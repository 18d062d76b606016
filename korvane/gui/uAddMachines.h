// The intake dialog: discovered or typed computers become managed entries.
#pragma once

#include <QDialog>

namespace korvane {

class TAddMachine : public QDialog {
  public:
    explicit TAddMachine(QWidget* parent = nullptr) : QDialog(parent) {
        setWindowTitle(QStringLiteral("Ajouter une machine"));
    }
};

}  // namespace korvane
