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

// Contrast themes as Windows 10 keeps them, dark and light: the face, its text, the highlight and
// its text (as dark as the face in one, as light in the other); any other index gives the face.
constexpr COLORREF kThemes[2][4] = {
    {RGB(0, 0, 0), RGB(255, 255, 255), RGB(26, 235, 255), RGB(0, 0, 0)},
    {RGB(255, 255, 255), RGB(0, 0, 0), RGB(55, 0, 110), RGB(255, 255, 255)}};
template <int kTheme>
COLORREF WINAPI Theme(int index) {
    const int at[] = {COLOR_3DFACE, COLOR_BTNTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT};
    return kThemes[kTheme][(std::find(at, at + 4, index) - at) % 4];  // none: the face
}

TEST(Look, HighContrastDrawsTheEdgeAndTheXInTheThemesButtonTextOnItsFace) {
    EXPECT_EQ(Fields(LookFor(false, Grey)),  // the picture's panel, should the picture fail
              std::tuple(true, RGB(234, 231, 226), COLORREF{CLR_NONE}, Grey(COLOR_HIGHLIGHTTEXT)));
    for (const auto& [theme, colour] :
         {std::pair{kThemes[0], &Theme<0>}, {kThemes[1], &Theme<1>}}) {
        EXPECT_EQ(Fields(LookFor(true, colour)), std::tuple(false, theme[0], theme[1], theme[1]))
            << (colour == &Theme<0> ? "dark" : "light");
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
