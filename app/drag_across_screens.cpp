#include "drag_across_screens.h"

#include <algorithm>

namespace kavo {
namespace {

// The start of a span of `size` whose larger part lies in [low, high): more than half of it, so
// that a tie never leaves the choice to the system.
int KeepLargerPartIn(int start, int size, int low, int high) {
    const int keep = (size - 1) / 2;  // at most this much may stick out on either side
    return std::clamp(start, low - keep, std::max(low - keep, high - size + keep));
}

}  // namespace

ScreenPoint KeepOnPointersScreen(const ScreenRect& proposed, const ScreenRect& pointers,
                                 const ScreenRect& largest) {
    ScreenPoint at{proposed.left, proposed.top};
    const bool apartAcross = largest.right <= pointers.left || largest.left >= pointers.right;
    const bool apartDown = largest.bottom <= pointers.top || largest.top >= pointers.bottom;
    if (apartAcross) {
        at.x =
            KeepLargerPartIn(at.x, proposed.right - proposed.left, pointers.left, pointers.right);
    }
    if (apartDown) {
        at.y =
            KeepLargerPartIn(at.y, proposed.bottom - proposed.top, pointers.top, pointers.bottom);
    }
    return at;
}

}  // namespace kavo
