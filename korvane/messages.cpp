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
    QMessageBox::warning(parent, QStringLiteral("Korvane"), text);
}

void SetMessageSink(MessageSink sink) {
    Sink() = std::move(sink);
}

}  // namespace korvane
