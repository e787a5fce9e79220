#pragma once
// The window's background: its picture, decoded from the JPEG embedded in the executable, or a
// plain panel.

#include "win32_handles.h"

namespace kavo {

// A 24-bit DIB of exactly width x height from JPEG resource resourceId, scaled smoothly when the
// picture is of another size. Null when the picture cannot be had; the caller then paints a plain
// panel.
UniqueBitmap LoadSkin(HINSTANCE instance, int resourceId, int width, int height);

// A width x height panel of one colour with a one-pixel edge of another (none for CLR_NONE).
UniqueBitmap PlainPanel(int width, int height, COLORREF panel, COLORREF edge);

}  // namespace kavo
