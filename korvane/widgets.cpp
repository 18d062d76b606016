#include "widgets.h"

namespace korvane {

GlyphButton::GlyphButton(QWidget* parent) : QToolButton(parent) {}

void GlyphButton::SetGlyph(const QPixmap& glyph) {
    glyph_ = glyph;
    setIcon(QIcon(glyph));
    setIconSize(glyph.size());
}

}  // namespace korvane
