#include "drag_across_screens.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>

namespace kavo {
namespace {

struct Screen {
    ScreenRect rect;
    int dpi;
};

int Scaled(int value, int to, int from) { return (value * to + from / 2) / from; }  // MulDiv
int Overlap(int a0, int a1, int b0, int b1) {
    return std::max(0, std::min(a1, b1) - std::max(a0, b0));
}
long long Area(const ScreenRect& a, const ScreenRect& b) {
    return 1LL * Overlap(a.left, a.right, b.left, b.right) *
           Overlap(a.top, a.bottom, b.top, b.bottom);
}

struct Crossing {
    bool down;      // the second screen below the first, or beside it
    bool back;      // from the second screen onto the first (left or up), or the other way
    int firstDpi;   // 1920 x 1080 at (0, 0)
    int secondDpi;  // 2560 x 1440
    int grip;       // where the window is held, in quarters of its size from its top-left corner
};

struct Drag {
    int changes = 0;    // of the window's DPI
    int elsewhere = 0;  // moves that left the window at another DPI than the pointer's screen's
    int endDpi = 0;
};

// Kavo's window (249 x 105 at 96 DPI) dragged from one screen onto the other, a pixel at a time,
// as PointerDrag follows it: each move places the window by the rule; the system gives it the DPI
// of the screen that holds most of it; when that changes, the window takes its size there, the
// grip scales, and it is placed again.
Drag DragAcross(const Crossing& c) {
    const ScreenRect first{0, 0, 1920, 1080};
    const ScreenRect other =
        c.down ? ScreenRect{0, 1080, 2560, 2520} : ScreenRect{1920, 0, 4480, 1440};
    const int edge = c.down ? 1080 : 1920;
    const auto holding = [&](const ScreenRect& r) {
        return Area(r, other) > Area(r, first) ? other : first;
    };
    const auto dpiOf = [&](const ScreenRect& s) {
        return s.left == other.left && s.top == other.top ? c.secondDpi : c.firstDpi;
    };
    Drag drag{0, 0, c.back ? c.secondDpi : c.firstDpi};
    int& dpi = drag.endDpi;
    ScreenPoint size{Scaled(249, dpi, 96), Scaled(105, dpi, 96)};
    ScreenPoint grip{size.x * c.grip / 4, size.y * c.grip / 4};
    ScreenPoint pointer{500, 500};
    int& along = c.down ? pointer.y : pointer.x;
    ScreenRect window{};
    const auto place = [&] {
        const ScreenRect proposed{pointer.x - grip.x, pointer.y - grip.y,
                                  pointer.x - grip.x + size.x, pointer.y - grip.y + size.y};
        const ScreenRect pointers = along < edge ? first : other;
        const ScreenPoint at = KeepOnPointersScreen(proposed, pointers, holding(proposed));
        window = {at.x, at.y, at.x + size.x, at.y + size.y};
        return dpiOf(pointers);
    };
    const int step = c.back ? -1 : 1;
    for (along = edge - 600 * step; along != edge + 600 * step; along += step) {
        const int pointersDpi = place();
        if (const int now = dpiOf(holding(window)); now != dpi) {
            ++drag.changes;
            grip = {Scaled(grip.x, now, dpi), Scaled(grip.y, now, dpi)};
            size = {Scaled(249, now, 96), Scaled(105, now, 96)};
            dpi = now;
            place();
        }
        drag.elsewhere += dpiOf(holding(window)) != pointersDpi;
    }
    return drag;
}

TEST(DragAcrossScreens, TheDpiChangesOncePerCrossingWhereverTheWindowIsGripped) {
    // Gripped a quarter in, the window trails the pointer one way and leads it the other; three
    // quarters in, the other way round. Across and down, each way, at 100, 150 and 200 %.
    for (const bool down : {false, true}) {
        for (const bool back : {false, true}) {
            for (const auto& [first, second] :
                 {std::pair{96, 192}, {192, 96}, {96, 144}, {144, 96}, {144, 192}, {192, 144}}) {
                for (const int grip : {1, 3}) {
                    const Drag drag = DragAcross({down, back, first, second, grip});
                    EXPECT_EQ((std::tuple{drag.changes, drag.elsewhere, drag.endDpi}),
                              (std::tuple{1, 0, back ? first : second}))
                        << (down ? "down" : "across") << (back ? ", back" : "") << ", " << first
                        << " and " << second << " DPI, grip " << grip << "/4";
                }
            }
        }
    }
}

TEST(DragAcrossScreens, OnOneScreenOrPastTheDesktopsEdgeTheWindowFollowsThePointer) {
    constexpr ScreenRect kScreen{0, 0, 1920, 1080};
    for (const ScreenRect proposed : {ScreenRect{100, 100, 349, 205}, ScreenRect{-200, -90, 49, 15},
                                      ScreenRect{1800, 1000, 2049, 1105}}) {
        const ScreenPoint at = KeepOnPointersScreen(proposed, kScreen, kScreen);
        EXPECT_EQ(std::pair(at.x, at.y), std::pair(proposed.left, proposed.top));
    }
}

}  // namespace
}  // namespace kavo
