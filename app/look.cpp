#include "look.h"

namespace kavo {

Look LookFor(bool highContrast, COLORREF(WINAPI* systemColor)(int index)) {
    if (highContrast) {
        // Windows 10 and later keep only the colours a contrast theme sets (COLOR_WINDOW and
        // COLOR_WINDOWTEXT, COLOR_3DFACE and COLOR_BTNTEXT, COLOR_HIGHLIGHT and
        // COLOR_HIGHLIGHTTEXT, COLOR_HOTLIGHT, COLOR_GRAYTEXT); the others, COLOR_WINDOWFRAME
        // among them, may match the panel or the desktop. The edge is the theme's button text on
        // its button face, the pair a contrast theme sets for reading one on the other.
        return {false, systemColor(COLOR_3DFACE), systemColor(COLOR_BTNTEXT),
                systemColor(COLOR_BTNTEXT)};
    }
    // The picture's own panel grey, and the "X" in the highlight-text colour on its red frame.
    return {true, RGB(234, 231, 226), CLR_NONE, systemColor(COLOR_HIGHLIGHTTEXT)};
}

bool HighContrastOn() {
    HIGHCONTRASTW setting{};
    setting.cbSize = sizeof(setting);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(setting), &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

}  // namespace kavo
