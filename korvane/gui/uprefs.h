// The preferences dialog: the number of computers per row of the map, the
// delay and comment of every remote shutdown, the notifications, the access
// from the network (on/off, port, password, the page's address, the API
// tokens) and "Garder Korvane actif, fenêtre fermée".
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

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
    // The access from the network.
    QCheckBox* web_enabled = nullptr;
    QLineEdit* web_port = nullptr;
    QLineEdit* web_password = nullptr;
    QLineEdit* web_password_again = nullptr;
    QLabel* web_password_state = nullptr;
    QLineEdit* web_address = nullptr;
    QPushButton* web_copy = nullptr;
    QLineEdit* web_fingerprint = nullptr;
    QLabel* web_status = nullptr;
    QTreeWidget* web_tokens = nullptr;
    QLineEdit* web_token_name = nullptr;
    QCheckBox* web_token_admin = nullptr;
    QLineEdit* web_token_entries = nullptr;
    QPushButton* web_make_token = nullptr;
    QPushButton* web_revoke = nullptr;
    QCheckBox* keep_running = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

    void BitBtn1Click();
    void MakeTokenClick();
    void RevokeClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void ShowWeb();

    KorvaneApp& app_;
};

}  // namespace korvane
