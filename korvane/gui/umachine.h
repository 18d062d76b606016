// The on/off dialog of a map entry.
#pragma once

#include <QDialog>

namespace korvane {

class Tmachines : public QDialog {
  public:
    explicit Tmachines(QWidget* parent = nullptr) : QDialog(parent) {
        setWindowTitle(QStringLiteral("machines"));
    }
};

}  // namespace korvane
