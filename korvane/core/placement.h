// Where the main window comes up: the place and height krv.ini saved, unless
// no screen shows that place any more (a monitor unplugged since), or the
// height asks for more than the screen has. Screens are plain rectangles
// here, so the rule is tested without a window.
#pragma once

#include <vector>

#include "korvane/core/mapgrid.h"

namespace korvane {

struct WindowPlace {
    int left = 0;
    int top = 0;
    int height = 0;
    bool operator==(const WindowPlace&) const = default;
};

// A window can be grabbed when at least this much of its top strip (where
// its title bar is) lies on one screen.
inline constexpr int kGrabWidth = 50;
inline constexpr int kGrabHeight = 10;

// `screens` are the available areas (without panels) of the screens, the
// primary one first; `width` is the window's width. A window that no screen
// shows comes back on the primary screen at the default place, moved in so
// that it fits when it can; the height is cut to the screen the window is
// on. Without any screen, the saved place stands.
WindowPlace PlaceWindow(const WindowPlace& saved, int width, const std::vector<Rect>& screens);

}  // namespace korvane
