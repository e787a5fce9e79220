#include "drag_across_screens.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kavo {
namespace {

int Scaled(int value, int to, int from) { return (value * to + from / 2) / from; }  // MulDiv
long long Area(const ScreenRect& a, const ScreenRect& b) {
    return 1LL * std::max(0, std::min(a.right, b.right) - std::max(a.left, b.left)) *
           std::max(0, std::min(a.bottom, b.bottom) - std::max(a.top, b.top));
}

// Kavo (249 x 105 at 96 DPI), gripped quarters/4 in, dragged a pixel at a time from 1920 x 1080 at
// the first DPI to 2560 x 1440 below or beside at the second, or back, taking the DPI of the screen
// that holds most of it. Returns the DPI changes, or -1 if it left the pointer's screen.
int DpiChanges(bool down, bool back, std::pair<int, int> dpi, int quarters) {
    const ScreenRect screens[] = {
        {0, 0, 1920, 1080},
        down ? ScreenRect{0, 1080, 2560, 2520} : ScreenRect{1920, 0, 4480, 1440}};
    const int dpis[] = {dpi.first, dpi.second};
    const auto largest = [&](const ScreenRect& r) {
        return Area(r, screens[1]) > Area(r, screens[0]);
    };
    int held = back, changes = 0;  // held: the screen whose DPI the window has
    ScreenPoint grip{Scaled(249 * quarters / 4, dpis[held], 96),
                     Scaled(105 * quarters / 4, dpis[held], 96)};
    const int edge = down ? 1080 : 1920, step = back ? -1 : 1;
    for (int along = edge - 600 * step; along != edge + 600 * step; along += step) {
        const int x = down ? 500 : along, y = down ? along : 500, under = along >= edge;
        const int w = Scaled(249, dpis[held], 96), h = Scaled(105, dpis[held], 96);
        const ScreenRect proposed{x - grip.x, y - grip.y, x - grip.x + w, y - grip.y + h};
        const ScreenPoint at =
            KeepOnPointersScreen(proposed, screens[under], screens[largest(proposed)]);
        if (const int now = largest({at.x, at.y, at.x + w, at.y + h}); now != held) {
            grip = {Scaled(grip.x, dpis[now], dpis[held]), Scaled(grip.y, dpis[now], dpis[held])};
            held = now;
            ++changes;
        }
        if (held != under) return -1;
    }
    return changes;
}

TEST(DragAcrossScreens, TheDpiChangesOncePerCrossingWhereverTheWindowIsGripped) {
    // Gripped a quarter or three quarters in, across and down, each way, at 100, 150 and 200 %.
    for (const bool down : {false, true}) {
        for (const bool back : {false, true}) {
            for (const auto& dpi :
                 {std::pair{96, 192}, {192, 96}, {96, 144}, {144, 96}, {144, 192}, {192, 144}}) {
                for (const int grip : {1, 3}) {
                    EXPECT_EQ(DpiChanges(down, back, dpi, grip), 1)
                        << (down ? "down" : "across") << (back ? ", back" : "") << ", " << dpi.first
                        << " and " << dpi.second << " DPI, grip " << grip << "/4";
                }
            }
        }
    }
    // On one screen the window follows the pointer, past the desktop's edge too.
    constexpr ScreenRect kScreen{0, 0, 1920, 1080};
    const ScreenPoint at = KeepOnPointersScreen({-200, -90, 49, 15}, kScreen, kScreen);
    EXPECT_EQ(std::pair(at.x, at.y), std::pair(-200, -90));
}

}  // namespace
}  // namespace kavo
