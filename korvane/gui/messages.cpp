#include "messages.h"

#include <QMessageBox>

namespace korvane {

namespace {
MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}
}  // namespace

void ShowWarning(QWidget* parent, const QString& text) {
    if (Sink()) {
        Sink()(text);
        return;
    }
    // File names and reasons are shown as they are, never read as markup.
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Korvane"), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void SetMessageSink(MessageSink sink) {
    Sink() = std::move(sink);
}

}  // namespace korvane
