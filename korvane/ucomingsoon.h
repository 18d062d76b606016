// The notice shown by commands that are not there yet.
#pragma once

#include <QDialog>

namespace korvane {

class Tcomingsoon : public QDialog {
  public:
    explicit Tcomingsoon(QWidget* parent = nullptr) : QDialog(parent) {
        setWindowTitle(QStringLiteral("Oups!"));
    }
};

}  // namespace korvane
