#include "messages.h"

#include <QMessageBox>
#include <QPushButton>

namespace korvane {

namespace {
MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}

// File names, reasons and typed texts are shown as they are, never read as markup.
void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    if (Sink()) {
        Sink()(text);
        return;
    }
    QMessageBox box(icon, QStringLiteral("Korvane"), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    // A remedy's command or a key is copied from the box.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

}  // namespace

void ShowWarning(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::Warning, text);
}

void ShowMessage(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::NoIcon, text);
}

void SetMessageSink(MessageSink sink) {
    Sink() = std::move(sink);
}

namespace {
QuestionSink& Questions() {
    static QuestionSink sink;
    return sink;
}
}  // namespace

bool AskYesNo(QWidget* parent, const QString& text) {
    if (Questions()) return Questions()(text);
    if (Sink()) {
        Sink()(text);
        return false;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Korvane"), text, QMessageBox::NoButton,
                    parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton* yes = box.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void SetQuestionSink(QuestionSink sink) {
    Questions() = std::move(sink);
}

}  // namespace korvane
