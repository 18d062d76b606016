// The console log's window ("Rapports > Console"): the main window's log,
// live and read-only, and a button that saves it to a file.
#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace korvane {

class KorvaneApp;

class TConsole : public QDialog {
  public:
    TConsole(KorvaneApp& app, QWidget* parent = nullptr);

    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* BtnSave = nullptr;
    QPushButton* BtnClose = nullptr;

    // Shows the log held by `log` and follows it while the window is open.
    void ShowLog(QPlainTextEdit* log);
    // Saves the log, a line per line; false (the user told) on failure.
    bool SaveTo(const std::string& path);
    void BtnSaveClick();

  private:
    void Follow();

    KorvaneApp& app_;
    QPlainTextEdit* log_ = nullptr;
};

}  // namespace korvane
