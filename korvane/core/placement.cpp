#include "korvane/core/placement.h"

#include <algorithm>
#include <cstdint>

#include "korvane/core/KrvVar.h"

namespace korvane {

namespace {

// 64-bit sums: the saved values are any int krv.ini held.
std::int64_t Overlap(std::int64_t start, std::int64_t length, std::int64_t otherStart,
                     std::int64_t otherLength) {
    const std::int64_t end = std::min(start + length, otherStart + otherLength);
    return std::max<std::int64_t>(0, end - std::max(start, otherStart));
}

bool ShowsTopStrip(const Rect& screen, const WindowPlace& place, int width) {
    return Overlap(place.left, width, screen.left, screen.width) >= kGrabWidth &&
           Overlap(place.top, kGrabHeight, screen.top, screen.height) >= kGrabHeight;
}

// The default offset from the screen's corner, less when the window would
// stick out, never past the corner.
int MovedIn(int screenStart, int screenLength, int preferred, int length) {
    return screenStart + std::max(0, std::min(preferred, screenLength - length));
}

}  // namespace

WindowPlace PlaceWindow(const WindowPlace& saved, int width, const std::vector<Rect>& screens) {
    if (screens.empty()) return saved;
    const auto shown = std::find_if(screens.begin(), screens.end(), [&](const Rect& screen) {
        return ShowsTopStrip(screen, saved, width);
    });
    const Rect& screen = shown != screens.end() ? *shown : screens.front();
    WindowPlace place = saved;
    place.height = std::clamp(saved.height, 0, std::max(0, screen.height));
    if (shown == screens.end()) {
        const Settings defaults;
        place.left = MovedIn(screen.left, screen.width, defaults.left, width);
        place.top = MovedIn(screen.top, screen.height, defaults.top, place.height);
    }
    return place;
}

}  // namespace korvane
