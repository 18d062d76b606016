// The preferences dialog: the number of computers per row of the map, and
// the delay and comment of every remote shutdown.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvane {

class KorvaneApp;

class SpinEdit;

class TPrefs : public QDialog {
  public:
    TPrefs(KorvaneApp& app, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    SpinEdit* set_nbyrow = nullptr;
    QLineEdit* set_shut_delay = nullptr;
    QLineEdit* set_shut_comment = nullptr;
    QCheckBox* set_notify_devices = nullptr;
    QCheckBox* set_notify_incidents = nullptr;
    QCheckBox* set_notify_plan = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

    void BitBtn1Click();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    KorvaneApp& app_;
};

}  // namespace korvane
