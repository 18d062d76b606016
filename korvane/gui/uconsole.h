// The console log's window ("Rapports > Console"): the main window's log,
// live and read-only, and a button that saves it to a file.
#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace korvane {

class TConsole : public QDialog {
  public:
    explicit TConsole(QWidget* parent = nullptr);

    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* BtnSave = nullptr;
    QPushButton* BtnClose = nullptr;

    // Shows the log held by `log` and follows it while the window is open.
    void ShowLog(QPlainTextEdit* log);
    // Saves the log's text, a line per line; false (the user told) on failure.
    bool SaveTo(const std::string& path);
    void BtnSaveClick();

  private:
    void Follow();

    QPlainTextEdit* log_ = nullptr;
};

}  // namespace korvane
