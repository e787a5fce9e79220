#pragma once
// Where a window dragged by hand goes when the drag crosses from one screen onto another: pure
// code, in screen coordinates.

namespace kavo {

struct ScreenRect {
    int left, top, right, bottom;
};

struct ScreenPoint {
    int x, y;
};

// The top-left corner for a window the pointer would carry to `proposed`, so that the screen
// under the pointer holds the larger part of it. The system gives a window the DPI of the screen
// that holds most of it; were that another screen than the pointer's, a drag between screens of
// different scaling would change the DPI back and forth as the window grew and shrank about the
// pointer. `largest` is the screen that would hold most of `proposed`: when it is not the
// pointer's, the window's centre is kept on the pointer's screen along each axis the two screens
// lie apart on (across side-by-side screens, the horizontal one), and the window waits at the
// edge until the pointer is far enough in. Along the other axis it follows the pointer freely.
ScreenPoint KeepOnPointersScreen(const ScreenRect& proposed, const ScreenRect& pointers,
                                 const ScreenRect& largest);

}  // namespace kavo
