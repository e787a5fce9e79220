#include "look.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "skin.h"

namespace kavo {
namespace {

// Each system colour as a grey of its own index, to tell which one went where.
COLORREF WINAPI Grey(int index) { return static_cast<COLORREF>(index) * 0x010101; }
auto Fields(const Look& l) { return std::tuple(l.picture, l.panel, l.edge, l.closeText); }

// A contrast theme on Windows 10 and later: the colours it sets, each its own, and one colour for
// every index the system no longer supports.
COLORREF WINAPI ContrastTheme(int index) {
    switch (index) {
        case COLOR_WINDOW:
        case COLOR_WINDOWTEXT:
        case COLOR_HOTLIGHT:
        case COLOR_GRAYTEXT:
        case COLOR_HIGHLIGHT:
        case COLOR_HIGHLIGHTTEXT:
        case COLOR_BTNTEXT:
        case COLOR_3DFACE:
            return Grey(index);
        default:
            return Grey(COLOR_3DFACE);
    }
}

TEST(Look, HighContrastDropsThePictureForTheThemesFaceAndText) {
    EXPECT_EQ(Fields(LookFor(false, Grey)),  // the picture's panel, should the picture fail
              std::tuple(true, RGB(234, 231, 226), COLORREF{CLR_NONE}, Grey(COLOR_HIGHLIGHTTEXT)));
    const Look theme = LookFor(true, ContrastTheme);
    EXPECT_FALSE(theme.picture);
    EXPECT_EQ(theme.panel, Grey(COLOR_3DFACE));
    EXPECT_NE(theme.edge, theme.panel);  // else the borderless window melts into what is behind
    EXPECT_NE(theme.closeText, theme.panel);
    const Look real = LookFor(true, GetSysColor);  // Wine's own: text and panel tell apart
    EXPECT_NE(real.closeText, real.panel);
    EXPECT_FALSE(HighContrastOn());  // Wine has none: the setting read, not its call's success
}

// The panel's pixels, as the window will blit them, top row first.
std::vector<COLORREF> PixelsOf(HBITMAP bitmap, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> quads(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    EXPECT_EQ(GetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(height), quads.data(), &info,
                        DIB_RGB_COLORS),
              height);
    std::vector<COLORREF> pixels;
    for (const RGBQUAD& q : quads) pixels.push_back(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
    return pixels;
}

TEST(Look, ThePlainPanelHasItsEdgeOnePixelWideAllRound) {
    constexpr int kWidth = 7, kHeight = 5;
    constexpr COLORREF kPanel = RGB(10, 20, 30), kEdge = RGB(200, 100, 50);
    for (const COLORREF edge : {kEdge, COLORREF{CLR_NONE}}) {
        const UniqueBitmap panel = PlainPanel(kWidth, kHeight, kPanel, edge);
        ASSERT_TRUE(panel);
        const std::vector<COLORREF> pixels = PixelsOf(panel.get(), kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool rim = x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1;
                EXPECT_EQ(pixels[static_cast<std::size_t>(y * kWidth + x)],
                          rim && edge != CLR_NONE ? kEdge : kPanel)
                    << x << "," << y;
            }
        }
    }
}

}  // namespace
}  // namespace kavo
