// The preferences dialog.
#pragma once

#include <QDialog>

namespace korvane {

class TPrefs : public QDialog {
  public:
    explicit TPrefs(QWidget* parent = nullptr) : QDialog(parent) {
        setWindowTitle(QStringLiteral("Prefs"));
    }
};

}  // namespace korvane
