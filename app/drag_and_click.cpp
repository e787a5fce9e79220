#include "drag_and_click.h"

#include <commctrl.h>

namespace kavo {
namespace {

LRESULT CALLBACK ClickOnReleaseProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                    DWORD_PTR) {
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            // Not passed on: the static itself would notify on the press.
            SetCapture(hwnd);
            return 0;
        case WM_LBUTTONUP: {
            if (GetCapture() != hwnd) return 0;
            ReleaseCapture();
            RECT client{};
            GetClientRect(hwnd, &client);
            const POINT at{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            if (PtInRect(&client, at)) {
                const int id = GetDlgCtrlID(hwnd);
                SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(id, STN_CLICKED),
                             reinterpret_cast<LPARAM>(hwnd));
            }
            return 0;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, &ClickOnReleaseProc, 0);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

void StartFormDrag(HWND window) {
    ReleaseCapture();
    SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void ClickOnRelease(HWND label) { SetWindowSubclass(label, &ClickOnReleaseProc, 0, 0); }

}  // namespace kavo
