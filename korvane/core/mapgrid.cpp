#include "korvane/core/mapgrid.h"

#include <algorithm>

namespace korvane {

Cell EntryCell(int entry, int nbyrow) {
    const int cell = entry + 1;
    const int row = cell / nbyrow;
    const int column = cell - nbyrow * row;
    return {column * kCellPitch, row * kCellPitch};
}

Rect EntryButtonRect(const Cell& cell) {
    return {cell.x + 60, cell.y + 50, 67, 60};
}

Rect EntryFrameRect(const Cell& cell) {
    return {cell.x + 40, cell.y + 110, 120, 51};
}

Rect NameCaptionRect(const Rect& frame) {
    return {frame.left + 5, frame.top + 2, 100, 15};
}

Rect IpCaptionRect(const Rect& frame) {
    return {frame.left + 5, frame.top + 17, 100, 15};
}

Rect MacCaptionRect(const Rect& frame) {
    return {frame.left + 5, frame.top + 32, 0, 0};
}

int MapWidth(int nbyrow) {
    return nbyrow * kWidthPerColumn;
}

int MapContentHeight(int entries, int nbyrow) {
    constexpr int kMargin = 10;
    const Rect lastFrame = EntryFrameRect(EntryCell(std::max(entries, 0) - 1, nbyrow));
    return lastFrame.top + lastFrame.height + kMargin;
}

bool IsFilteredOut(std::string_view address, const toolkit::host_params& local) {
    if (address.empty()) return false;
    return address == local.gateway || address == local.dnsServer || address == local.dhcpServer;
}

bool IsUp(const toolkit::TextList& etats, std::string_view name, std::string_view address) {
    const std::string byName = toolkit::Trim(name) + "=1";
    const std::string byAddress = toolkit::Trim(address) + "=1";
    return toolkit::IndexOfLine(etats, byName).has_value() ||
           toolkit::IndexOfLine(etats, byAddress).has_value();
}

GlyphChange NextGlyph(bool up, int currentWidth) {
    if (up && currentWidth == kOffGlyphWidth) return GlyphChange::ToOn;
    if (!up && currentWidth == kOnGlyphWidth) return GlyphChange::ToOff;
    return GlyphChange::Keep;
}

}  // namespace korvane
