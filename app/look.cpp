#include "look.h"

namespace kavo {

Look LookFor(bool highContrast, COLORREF(WINAPI* systemColor)(int index)) {
    if (highContrast) {
        return {false, systemColor(COLOR_BTNFACE), systemColor(COLOR_WINDOWFRAME),
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
