// The notice shown by commands that are not there yet.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace korvane {

class Tcomingsoon : public QDialog {
  public:
    explicit Tcomingsoon(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
};

}  // namespace korvane
