// The one-line input dialog.
#pragma once

#include <QDialog>

namespace korvane {

class TOKBottomDlg : public QDialog {
  public:
    explicit TOKBottomDlg(QWidget* parent = nullptr) : QDialog(parent) {
        setWindowTitle(QStringLiteral("Dialogue"));
    }
};

}  // namespace korvane
