#include "widgets.h"

#include <QLineEdit>

namespace korvane {

GlyphButton::GlyphButton(QWidget* parent) : QToolButton(parent) {}

void GlyphButton::SetGlyph(const QPixmap& glyph) {
    glyph_ = glyph;
    setIcon(QIcon(glyph));
    setIconSize(glyph.size());
}

SpinEdit::SpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {}

void SpinEdit::SetText(const QString& text) {
    lineEdit()->setText(text);
}

// A text that is not a number is left for the user to correct.
void SpinEdit::stepBy(int steps) {
    bool isNumber = false;
    const long long value = text().toLongLong(&isNumber);
    if (isNumber) SetText(QString::number(value + steps));
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const {
    return StepUpEnabled | StepDownEnabled;
}

QLabel* DataLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void Paint(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace korvane
