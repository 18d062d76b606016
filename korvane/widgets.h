// The few control kinds of Korvane's windows that Qt has no exact match for.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QToolButton>

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

// A timer carrying a number, as each request timer carries its slot.
class TTimer : public QTimer {
  public:
    using QTimer::QTimer;
    int Tag = 0;
};

}  // namespace korvane
