#include "look.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <tuple>

#include "skin.h"

namespace kavo {
namespace {

// Each system colour as a grey of its own index, to tell which one went where.
COLORREF WINAPI Grey(int index) { return static_cast<COLORREF>(index) * 0x010101; }
auto Fields(const Look& l) { return std::tuple(l.picture, l.panel, l.edge, l.closeText); }

// Contrast themes as Windows 10 and later keep them: the pairs a theme sets, each its own colour,
// and for every index it no longer supports the button face. In the dark theme the highlight's
// text is as dark as the face; in the light one, as light.
struct Theme {
    COLORREF face, text, highlight, highlightText, window, windowText;
};
constexpr Theme kThemes[] = {
    {RGB(0, 0, 0), RGB(255, 255, 255), RGB(26, 235, 255), RGB(0, 0, 0), RGB(0, 0, 0),
     RGB(255, 255, 255)},
    {RGB(255, 255, 255), RGB(0, 0, 0), RGB(55, 0, 110), RGB(255, 255, 255), RGB(255, 255, 255),
     RGB(0, 0, 0)},
};

template <std::size_t kTheme>
COLORREF WINAPI ThemeColour(int index) {
    const Theme& t = kThemes[kTheme];
    switch (index) {
        case COLOR_BTNTEXT:
            return t.text;
        case COLOR_HIGHLIGHT:
            return t.highlight;
        case COLOR_HIGHLIGHTTEXT:
            return t.highlightText;
        case COLOR_WINDOW:
            return t.window;
        case COLOR_WINDOWTEXT:
            return t.windowText;
        default:
            return t.face;
    }
}

TEST(Look, HighContrastDrawsTheEdgeAndTheXInTheThemesButtonTextOnItsFace) {
    EXPECT_EQ(Fields(LookFor(false, Grey)),  // the picture's panel, should the picture fail
              std::tuple(true, RGB(234, 231, 226), COLORREF{CLR_NONE}, Grey(COLOR_HIGHLIGHTTEXT)));
    for (const auto& [theme, colour] :
         {std::pair{kThemes[0], &ThemeColour<0>}, std::pair{kThemes[1], &ThemeColour<1>}}) {
        EXPECT_EQ(Fields(LookFor(true, colour)),
                  std::tuple(false, theme.face, theme.text, theme.text))
            << (theme.face == RGB(0, 0, 0) ? "dark" : "light");
    }
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
