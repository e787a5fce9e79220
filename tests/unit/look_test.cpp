#include "look.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kavo {
namespace {

// Each system colour as a grey of its own index, to tell which one went where.
COLORREF WINAPI Grey(int index) { return static_cast<COLORREF>(index) * 0x010101; }
auto Fields(const Look& l) { return std::tuple(l.picture, l.panel, l.edge, l.closeText); }

TEST(Look, HighContrastDropsThePictureForTheSystemsPanelEdgeAndTextColours) {
    EXPECT_EQ(Fields(LookFor(false, Grey)),  // the picture's panel, should the picture fail
              std::tuple(true, RGB(234, 231, 226), COLORREF{CLR_NONE}, Grey(COLOR_HIGHLIGHTTEXT)));
    EXPECT_EQ(Fields(LookFor(true, Grey)),
              std::tuple(false, Grey(COLOR_BTNFACE), Grey(COLOR_WINDOWFRAME), Grey(COLOR_BTNTEXT)));
    const Look real = LookFor(true, GetSysColor);  // Wine's own: text and panel tell apart
    EXPECT_NE(real.closeText, real.panel);
    EXPECT_FALSE(HighContrastOn());  // Wine has none: the setting read, not its call's success
}

}  // namespace
}  // namespace kavo
