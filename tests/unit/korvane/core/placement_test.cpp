// Where the main window comes up, from krv.ini's values and the screens as
// rectangles; and the bounds of the number of entries per row.
#include "korvane/core/placement.h"

#include <gtest/gtest.h>

#include <climits>

#include "korvane/core/KrvVar.h"

namespace {

using korvane::Rect;
using korvane::WindowPlace;

TEST(WindowPlacement, OffEveryScreenComesBackOnThePrimaryAndHeightFitsTheScreen) {
    const Rect primary{0, 0, 1920, 1050};  // a panel takes the last 30 pixels
    const Rect right{1920, 0, 1280, 1024};
    const std::vector<Rect> both{primary, right};
    const std::vector<Rect> alone{primary};
    struct Case {
        const char* what;
        WindowPlace saved;
        std::vector<Rect> screens;
        WindowPlace placed;
    };
    const Case cases[] = {
        {"on the primary", {100, 100, 300}, both, {100, 100, 300}},
        {"on the second screen", {2500, 200, 300}, both, {2500, 200, 300}},
        {"second screen unplugged", {2500, 200, 300}, alone, {100, 100, 300}},
        {"partly off the left edge", {-400, 100, 300}, alone, {-400, 100, 300}},
        {"only 40 pixels on screen", {-440, 100, 300}, alone, {100, 100, 300}},
        {"title bar above the screen", {100, -20, 300}, alone, {100, 100, 300}},
        {"taller than its screen", {2000, 0, 5000}, both, {2000, 0, 1024}},
        {"huge values", {INT_MAX, INT_MIN, INT_MAX}, alone, {100, 0, 1050}},
        {"no screen known", {5000, 5000, 5000}, {}, {5000, 5000, 5000}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(korvane::PlaceWindow(c.saved, 480, c.screens), c.placed) << c.what;
    }
    // Brought back, a wide window starts nearer the edge so that it fits.
    EXPECT_EQ(korvane::PlaceWindow({5000, 100, 300}, 1880, alone), (WindowPlace{40, 100, 300}));
}

TEST(WindowPlacement, EntriesPerRowStayBetweenOneAndThirtyTwo) {
    const std::pair<int, int> cases[] = {{1, 1},         {3, 3},        {32, 32}, {33, 32},
                                         {13421773, 32}, {INT_MAX, 32}, {0, 3},   {-2, 3}};
    for (const auto& [given, kept] : cases) {
        EXPECT_EQ(korvane::ClampEntriesPerRow(given), kept) << given;
        EXPECT_EQ(korvane::ParseSettings({"nbyrow=" + std::to_string(given)}).nbyrow, kept)
            << given;
    }
}

}  // namespace
