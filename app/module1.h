#pragma once
// Routines the form shares with nothing else but that are not the form's own business.

#include <windows.h>

namespace kavo {

// Hands the current mouse press to the system's own window-move loop, as if it had landed on a
// title bar: the borderless form then follows the mouse until the button is released.
void StartFormDrag(HWND form);

// Makes a static control report a click (STN_CLICKED) the way a button does: on release over it,
// after a press on it, so that sliding off before letting go cancels.
void ClickOnRelease(HWND label);

}  // namespace kavo
