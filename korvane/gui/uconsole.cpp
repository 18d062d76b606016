#include "uconsole.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "tools.h"
#include "widgets.h"

namespace korvane {

TConsole::TConsole(KorvaneApp& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("ConsoleLog"));
    setWindowTitle(QString::fromUtf8(text::kConsoleTitle));
    setModal(false);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    BtnSave = new QPushButton(QString::fromUtf8(text::kConsoleSave), this);
    BtnClose = new QPushButton(QString::fromUtf8(text::kClose), this);
    connect(BtnSave, &QPushButton::clicked, this, &TConsole::BtnSaveClick);
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnSave);
    buttons->addWidget(BtnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1);
    layout->addLayout(buttons);
    resize(640, 360);
}

void TConsole::ShowLog(QPlainTextEdit* log) {
    if (log_ != log) {
        if (log_ != nullptr) disconnect(log_, nullptr, this, nullptr);
        log_ = log;
        connect(log_, &QPlainTextEdit::textChanged, this, &TConsole::Follow);
    }
    Follow();
    show();
    raise();
}

// The view stays at the end when it was there, so new lines come into sight;
// a user reading higher up is left where they are.
void TConsole::Follow() {
    if (log_ == nullptr) return;
    QScrollBar* bar = Memo1->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    Memo1->setPlainText(log_->toPlainText());
    if (atEnd) bar->setValue(bar->maximum());
}

bool TConsole::SaveTo(const std::string& path) {
    return app_.SaveConsole(path);
}

void TConsole::BtnSaveClick() {
    const QString path = QFileDialog::getSaveFileName(
        this, QString::fromUtf8(text::kConsoleSaveTitle),
        QDir(Q(toolkit::ProgramDir())).filePath(QString::fromUtf8(text::kConsoleFile)),
        QString::fromUtf8(text::kTextFiles) + QStringLiteral(";;") +
            QString::fromUtf8(text::kAllFiles));
    if (!path.isEmpty()) SaveTo(path.toStdString());
}

}  // namespace korvane
