// The few control kinds of Korvane's windows that Qt has no exact match for.
#pragma once

#include <QAbstractSpinBox>
#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <QString>
#include <QToolButton>
#include <string>

// The modal results (kResultOK, kResultCancel, CardChoice), the app's.
#include "korvane/app/command_table.h"

namespace korvane {

// A speed button showing a bitmap glyph. The glyph is kept whole, because the
// map reads a button's state from its glyph's width.
class GlyphButton : public QToolButton {
  public:
    explicit GlyphButton(QWidget* parent);
    void SetGlyph(const QPixmap& glyph);
    const QPixmap& Glyph() const { return glyph_; }
    int GlyphWidth() const { return glyph_.width(); }
    int Tag = 0;

  private:
    QPixmap glyph_;
};

// A spin field without bounds whose text is free: what the user typed is read
// as it stands (a lone "-" included), the arrows step a number by 1.
class SpinEdit : public QAbstractSpinBox {
  public:
    explicit SpinEdit(QWidget* parent);
    QString Text() const { return text(); }
    void SetText(const QString& text);
    void stepBy(int steps) override;

  protected:
    StepEnabled stepEnabled() const override;
};

// Tooltips stay 5 s.
inline constexpr int kHintDisplayTime = 5000;

inline const QColor kCream(255, 251, 240);
inline const QColor kYellow(255, 255, 0);

// A static text for data read from files or the network: shown as plain text,
// never interpreted as markup.
QLabel* DataLabel(QWidget* parent);

// Paints a control's background in one colour.
void Paint(QWidget* widget, const QColor& colour);

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace korvane
