// The network map outside its window: where each cell and control goes, which
// entries the map leaves out, whether an entry is up, and when a picture must
// change. The pictures tell their state by their width.
#pragma once

#include <string>
#include <string_view>

#include "reseau.h"
#include "utils.h"

namespace korvane {

inline constexpr int kCellPitch = 140;
inline constexpr int kOnGlyphWidth = 67;   // ecran-on, neufbox_on
inline constexpr int kOffGlyphWidth = 69;  // ecran-off, neufbox_off
inline constexpr int kWidthPerColumn = 160;

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

// Top-left corner of the cell of entry `entry` (cell 0 is the gateway's).
struct Cell {
    int x = 0;
    int y = 0;
};
Cell EntryCell(int entry, int nbyrow);

Rect EntryButtonRect(const Cell& cell);
Rect EntryFrameRect(const Cell& cell);
// The captions hang from the frame: name, address, hardware address.
Rect NameCaptionRect(const Rect& frame);
Rect IpCaptionRect(const Rect& frame);
Rect MacCaptionRect(const Rect& frame);  // width and height 0: the label's own size

int MapWidth(int nbyrow);
// The height the map's cells need for `entries` entries after the gateway:
// down to the bottom of the last row's captions, with a margin.
int MapContentHeight(int entries, int nbyrow);

// The map leaves out an entry whose address is the gateway's, the DNS
// server's or the DHCP server's. An entry without an address (a group, or a
// computer known by its name alone) is always shown: a server field that the
// adapter listing left empty names no computer to hide.
bool IsFilteredOut(std::string_view address, const toolkit::host_params& local);

// Up when `etats` holds the name or the address followed by "=1", the whole
// line compared without regard to case. Name and address count without
// their surrounding blanks, as the poll list holds them and hostping answers.
bool IsUp(const toolkit::TextList& etats, std::string_view name, std::string_view address);

// What a picture must become: it changes only when its width shows the other state.
enum class GlyphChange { Keep, ToOn, ToOff };
GlyphChange NextGlyph(bool up, int currentWidth);

}  // namespace korvane
