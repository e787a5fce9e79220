#include "look.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "skin.h"

namespace kavo {
namespace {

// Each system colour as a grey of its own index, to tell which one went where.
COLORREF WINAPI Grey(int index) { return static_cast<COLORREF>(index) * 0x010101; }
auto Fields(const Look& l) { return std::tuple(l.picture, l.panel, l.edge, l.closeText); }

// A contrast theme on Windows 10 and later: the colours it sets, each its own, and one colour for
// every index the system no longer supports.
COLORREF WINAPI ContrastTheme(int index) {
    constexpr int kKept[] = {COLOR_WINDOW,    COLOR_WINDOWTEXT,    COLOR_HOTLIGHT, COLOR_GRAYTEXT,
                             COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_BTNTEXT,  COLOR_3DFACE};
    return std::ranges::count(kKept, index) ? Grey(index) : Grey(COLOR_3DFACE);
}

TEST(Look, HighContrastDropsThePictureForTheThemesFaceAndText) {
    EXPECT_EQ(Fields(LookFor(false, Grey)),  // the picture's panel, should the picture fail
              std::tuple(true, RGB(234, 231, 226), COLORREF{CLR_NONE}, Grey(COLOR_HIGHLIGHTTEXT)));
    const Look theme = LookFor(true, ContrastTheme);
    EXPECT_FALSE(theme.picture);
    EXPECT_EQ(theme.panel, Grey(COLOR_3DFACE));
    EXPECT_EQ(theme.edge, Grey(COLOR_BTNTEXT));  // the face's own text: seen on it in any theme
    EXPECT_NE(theme.closeText, theme.panel);
    const Look real = LookFor(true, GetSysColor);  // Wine's own: text and panel tell apart
    EXPECT_NE(real.closeText, real.panel);
    EXPECT_FALSE(HighContrastOn());  // Wine has none: the setting read, not its call's success
}

TEST(Look, ThePlainPanelHasItsEdgeOnePixelWideAllRound) {
    constexpr int kWidth = 7, kHeight = 5;
    constexpr COLORREF kPanel = RGB(10, 20, 30), kEdge = RGB(200, 100, 50);
    for (const COLORREF edge : {kEdge, COLORREF{CLR_NONE}}) {
        const UniqueBitmap panel = PlainPanel(kWidth, kHeight, kPanel, edge);
        ASSERT_TRUE(panel);
        UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
        SelectGuard select(dc.get(), panel.get());
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool rim = x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1;
                EXPECT_EQ(GetPixel(dc.get(), x, y), rim && edge != CLR_NONE ? kEdge : kPanel)
                    << x << "," << y;
            }
        }
    }
}

}  // namespace
}  // namespace kavo
