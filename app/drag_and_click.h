#pragma once
// The two mouse behaviours a title bar and a button would give, for a borderless window and a
// label.

#include <windows.h>

namespace kavo {

// Hands the current mouse press to the system's own window-move loop, as if it had landed on a
// title bar: the borderless window then follows the mouse until the button is released.
void StartFormDrag(HWND window);

// The same for the right, middle and X buttons, whose press the system's move loop does not
// follow (it ends only on a left-button release): the window captures the pointer and moves
// itself until that same button is released, Escape is pressed or the capture is lost.
class PointerDrag {
  public:
    // On WM_RBUTTONDOWN, WM_MBUTTONDOWN or WM_XBUTTONDOWN (its msg and wParam). A press of another
    // button while one drags is ignored.
    void Start(HWND window, UINT msg, WPARAM wp);
    // WM_MOUSEMOVE: keeps the pointer where it gripped the window, but for the screen under the
    // pointer holding the larger part of it (KeepOnPointersScreen), so that between screens of
    // different scaling the DPI changes once as the pointer crosses, not back and forth.
    void Follow(HWND window) const;
    // The same for a window about to take rect's size (WM_DPICHANGED's): moves rect to where the
    // pointer carries it. Outside a drag, leaves it as it is.
    void Carry(RECT& rect) const;
    // WM_RBUTTONUP, WM_MBUTTONUP or WM_XBUTTONUP: the gripping button lets the window go.
    void Release(UINT msg, WPARAM wp) const;
    // WM_DPICHANGED: a drag that carries the window onto a screen of other scaling resizes it
    // there; the grip scales with it, so the pointer stays on the same point of the picture
    // rather than outside the smaller window, which would then trail it.
    void Rescale(UINT oldDpi, UINT newDpi);
    // Escape: back where the drag began, as the system's move loop does.
    void Cancel(HWND window) const;
    // WM_CAPTURECHANGED: whoever took the pointer (the release, Escape, another window), the drag
    // is over.
    void Stop() { releaseMessage_ = 0; }

  private:
    UINT releaseMessage_ = 0;  // WM_RBUTTONUP, WM_MBUTTONUP or WM_XBUTTONUP; 0: no drag
    WORD xButton_ = 0;         // XBUTTON1 or XBUTTON2, for WM_XBUTTONUP
    POINT grip_{};             // the pointer's offset from the window's top-left corner
    POINT origin_{};           // the window's top-left corner when the drag began
};

// Makes a static control report a click (STN_CLICKED) the way a button does: on release over it,
// after a press on it, so that sliding off before letting go cancels.
void ClickOnRelease(HWND label);

}  // namespace kavo
