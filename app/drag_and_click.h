#pragma once
// The two mouse behaviours a title bar and a button would give, for a borderless window and a
// label.

#include <windows.h>

namespace kavo {

// Hands the current mouse press to the system's own window-move loop, as if it had landed on a
// title bar: the borderless window then follows the mouse until the button is released.
void StartFormDrag(HWND window);

// Makes a static control report a click (STN_CLICKED) the way a button does: on release over it,
// after a press on it, so that sliding off before letting go cancels.
void ClickOnRelease(HWND label);

}  // namespace kavo
