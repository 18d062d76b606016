#include "messages.h"

#include <QMessageBox>

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

}  // namespace korvane
