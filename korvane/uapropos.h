// The About box.
#pragma once

#include <QDialog>

namespace korvane {

class TAboutBox : public QDialog {
  public:
    explicit TAboutBox(QWidget* parent = nullptr) : QDialog(parent) {
        setWindowTitle(QStringLiteral("A propos"));
    }
};

}  // namespace korvane
