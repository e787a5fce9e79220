#pragma once
// How the main window is drawn: its picture, or with high contrast on, the system's own colours.

#include <windows.h>
#include <commctrl.h>  // CLR_NONE

namespace kavo {

struct Look {
    bool picture;        // the skin behind the controls; otherwise a plain panel
    COLORREF panel;      // the plain panel, also when the picture cannot be had
    COLORREF edge;       // a one-pixel edge round the panel, or CLR_NONE
    COLORREF closeText;  // the "X"
};

// The look for the high-contrast setting, with colours from systemColor (GetSysColor's form).
// High contrast asks for the theme's colours and no picture behind text; a borderless window then
// needs an edge of its own to be seen at all.
Look LookFor(bool highContrast, COLORREF(WINAPI* systemColor)(int index));

// Whether the user has high contrast on, as the system says now.
bool HighContrastOn();

}  // namespace kavo
