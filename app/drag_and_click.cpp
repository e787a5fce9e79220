#include "drag_and_click.h"

#include <commctrl.h>
#include <windowsx.h>

#include "drag_across_screens.h"

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

ScreenRect MonitorRect(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(monitor, &info);
    const RECT& r = info.rcMonitor;
    return {r.left, r.top, r.right, r.bottom};
}

}  // namespace

void StartFormDrag(HWND window) {
    ReleaseCapture();
    SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void PointerDrag::Start(HWND window, UINT msg, WPARAM wp) {
    if (releaseMessage_) return;
    RECT r{};
    GetWindowRect(window, &r);
    const DWORD at = GetMessagePos();
    origin_ = {r.left, r.top};
    grip_ = {GET_X_LPARAM(at) - r.left, GET_Y_LPARAM(at) - r.top};
    releaseMessage_ = msg + 1;  // each button's "up" message follows its "down"
    xButton_ = GET_XBUTTON_WPARAM(wp);
    SetCapture(window);
}

void PointerDrag::Follow(HWND window) const {
    if (!releaseMessage_) return;
    RECT r{};
    GetWindowRect(window, &r);
    Carry(r);
    SetWindowPos(window, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PointerDrag::Carry(RECT& rect) const {
    if (!releaseMessage_) return;
    // Where the pointer was when this move happened, in screen coordinates: the window has moved
    // since, so the message's own client coordinates would be off.
    const DWORD message = GetMessagePos();
    const POINT pointer{GET_X_LPARAM(message), GET_Y_LPARAM(message)};
    const RECT proposed{pointer.x - grip_.x, pointer.y - grip_.y,
                        pointer.x - grip_.x + rect.right - rect.left,
                        pointer.y - grip_.y + rect.bottom - rect.top};
    const ScreenPoint at =
        KeepOnPointersScreen({proposed.left, proposed.top, proposed.right, proposed.bottom},
                             MonitorRect(MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST)),
                             MonitorRect(MonitorFromRect(&proposed, MONITOR_DEFAULTTONEAREST)));
    OffsetRect(&rect, at.x - rect.left, at.y - rect.top);
}

void PointerDrag::Release(UINT msg, WPARAM wp) const {
    if (msg == releaseMessage_ && (msg != WM_XBUTTONUP || GET_XBUTTON_WPARAM(wp) == xButton_)) {
        ReleaseCapture();  // WM_CAPTURECHANGED then ends the drag
    }
}

void PointerDrag::Rescale(UINT oldDpi, UINT newDpi) {
    if (!releaseMessage_ || oldDpi == 0) return;
    grip_ = {MulDiv(grip_.x, static_cast<int>(newDpi), static_cast<int>(oldDpi)),
             MulDiv(grip_.y, static_cast<int>(newDpi), static_cast<int>(oldDpi))};
}

void PointerDrag::Cancel(HWND window) const {
    if (!releaseMessage_) return;
    SetWindowPos(window, nullptr, origin_.x, origin_.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ReleaseCapture();
}

void ClickOnRelease(HWND label) { SetWindowSubclass(label, &ClickOnReleaseProc, 0, 0); }

}  // namespace kavo
