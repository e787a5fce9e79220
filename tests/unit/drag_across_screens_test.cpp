#include "drag_across_screens.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kavo {
namespace {

int Scaled(int value, int to, int from) { return (value * to + from / 2) / from; }  // MulDiv
long long Area(const ScreenRect& a, const ScreenRect& b) {
    const auto overlap = [](int a0, int a1, int b0, int b1) {
        return std::max(0, std::min(a1, b1) - std::max(a0, b0));
    };
    return 1LL * overlap(a.left, a.right, b.left, b.right) *
           overlap(a.top, a.bottom, b.top, b.bottom);
}

// Kavo's window (249 x 105 at 96 DPI), gripped gripQuarters/4 of its size in, dragged a pixel at a
// time from a 1920 x 1080 screen at `first` DPI onto a 2560 x 1440 one below or beside it at
// `second` DPI, or back. Each move places it by the rule; the system gives it the DPI of the screen
// that holds most of it; when that changes, the window takes its size there, the grip scales, and
// it is placed again. Returns the DPI changes, or -1 if a move left it at another DPI than that of
// the screen under the pointer.
int DpiChanges(bool down, bool back, int first, int second, int gripQuarters) {
    const ScreenRect one{0, 0, 1920, 1080},
        two = down ? ScreenRect{0, 1080, 2560, 2520} : ScreenRect{1920, 0, 4480, 1440};
    const auto dpiOf = [&](const ScreenRect& r) {
        return Area(r, two) > Area(r, one) ? second : first;
    };
    int dpi = back ? second : first, changes = 0;
    ScreenPoint size{},
        grip{Scaled(249, dpi, 96) * gripQuarters / 4, Scaled(105, dpi, 96) * gripQuarters / 4};
    ScreenPoint pointer{500, 500};
    int& along = down ? pointer.y : pointer.x;
    ScreenRect window{};
    const auto place = [&] {
        size = {Scaled(249, dpi, 96), Scaled(105, dpi, 96)};
        const ScreenRect proposed{pointer.x - grip.x, pointer.y - grip.y,
                                  pointer.x - grip.x + size.x, pointer.y - grip.y + size.y};
        const ScreenPoint at = KeepOnPointersScreen(
            proposed, Area({pointer.x, pointer.y, pointer.x + 1, pointer.y + 1}, two) ? two : one,
            Area(proposed, two) > Area(proposed, one) ? two : one);
        window = {at.x, at.y, at.x + size.x, at.y + size.y};
    };
    const int edge = down ? 1080 : 1920, step = back ? -1 : 1;
    for (along = edge - 600 * step; along != edge + 600 * step; along += step) {
        place();
        if (const int now = dpiOf(window); now != dpi) {
            ++changes;
            grip = {Scaled(grip.x, now, dpi), Scaled(grip.y, now, dpi)};
            dpi = now;
            place();
        }
        if (dpi != dpiOf({pointer.x, pointer.y, pointer.x + 1, pointer.y + 1})) return -1;
    }
    return changes;
}

TEST(DragAcrossScreens, TheDpiChangesOncePerCrossingWhereverTheWindowIsGripped) {
    // Gripped a quarter in, the window trails the pointer one way and leads it the other; three
    // quarters in, the other way round. Across and down, each way, at 100, 150 and 200 %.
    for (const bool down : {false, true}) {
        for (const bool back : {false, true}) {
            for (const auto& [first, second] :
                 {std::pair{96, 192}, {192, 96}, {96, 144}, {144, 96}, {144, 192}, {192, 144}}) {
                for (const int grip : {1, 3}) {
                    EXPECT_EQ(DpiChanges(down, back, first, second, grip), 1)
                        << (down ? "down" : "across") << (back ? ", back" : "") << ", " << first
                        << " and " << second << " DPI, grip " << grip << "/4";
                }
            }
        }
    }
    // On one screen, past the desktop's edge too, the window follows the pointer.
    constexpr ScreenRect kScreen{0, 0, 1920, 1080};
    for (const ScreenRect proposed :
         {ScreenRect{100, 100, 349, 205}, ScreenRect{-200, -90, 49, 15}}) {
        const ScreenPoint at = KeepOnPointersScreen(proposed, kScreen, kScreen);
        EXPECT_EQ(std::pair(at.x, at.y), std::pair(proposed.left, proposed.top));
    }
}

}  // namespace
}  // namespace kavo
