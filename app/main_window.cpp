#include "main_window.h"

#include <commctrl.h>

#include <utility>

#include "drag_and_click.h"
#include "main_window_layout.h"
#include "resource.h"
#include "skin.h"

namespace kavo {
namespace {

constexpr wchar_t kClassName[] = L"KavoMainWindow";
// A timer's message comes only once no other message, a paint included, is waiting: the drop
// target is registered once the window and its controls are painted.
constexpr UINT_PTR kTakeDropsTimer = 1;

UniqueFont MessageFontFor(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        return nullptr;
    }
    return UniqueFont(CreateFontIndirectW(&metrics.lfMessageFont));
}

// The "X": Arial Black 8.25 pt, bold, Cyrillic character set.
UniqueFont LabelFontFor(UINT dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(825, static_cast<int>(dpi), 7200);
    font.lfWeight = FW_BOLD;
    font.lfCharSet = RUSSIAN_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(font.lfFaceName, L"Arial Black", LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&font));
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {
    // Once, before any control exists. Under version 6 of the controls, which the manifest asks
    // for, the call itself does nothing: it is the import of comctl32.dll that has the system
    // load that version, and the manifest that maps "BUTTON", "EDIT" and "STATIC" to its themed
    // classes, registered as the first of each is made.
    InitCommonControls();
}

bool MainWindow::Create(int show) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &MainWindow::WindowProc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_KAVO), IMAGE_ICON, 0,
                                             0, LR_DEFAULTSIZE | LR_SHARED));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_KAVO), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (!RegisterClassExW(&wc)) return false;

    // A popup has no caption or frame; the system menu and minimize box still give the taskbar
    // button its Minimize and Close entries. The background never paints over the controls.
    if (!CreateWindowExW(WS_EX_APPWINDOW, kClassName, L"Kavo",
                         WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 0, 0, 0, 0,
                         nullptr, nullptr, instance_, this)) {
        return false;
    }

    // Sized and centred in one move.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    const SIZE size = SizeForDpi(dpi_);
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - size.cx) / 2,
                 work.top + (work.bottom - work.top - size.cy) / 2, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    LayOut();
    // As the caller asked: a shortcut may say "Minimised". Windows may take the first show
    // command from the shortcut rather than from show; "Maximised" comes back to the one size
    // the window has (WM_SIZE).
    ShowWindow(hwnd_, show);
    UpdateWindow(hwnd_);
    SetTimer(hwnd_, kTakeDropsTimer, USER_TIMER_MINIMUM, nullptr);
    return true;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->HandleMessage(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            return OnCreate() ? 0 : -1;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_PAINT: {
            PaintGuard paint(hwnd_);
            PaintContent(paint.dc());
            return 0;
        }
        case WM_PRINTCLIENT:
            // Themed controls ask for what lies under their rounded corners this way.
            PaintContent(reinterpret_cast<HDC>(wp));
            return 0;
        case WM_ACTIVATE:
            // On the way out the focused control is remembered; on the way in DefWindowProc
            // focuses the window itself (unless minimized), and WM_SETFOCUS hands that on.
            if (LOWORD(wp) == WA_INACTIVE) RememberFocus(GetFocus());
            return DefWindowProcW(hwnd_, msg, wp, lp);
        case WM_SETFOCUS:
            OnSetFocus(reinterpret_cast<HWND>(wp));
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wp), HIWORD(wp));
            return 0;
        // Any button, anywhere on the background, drags the window: it has no title bar. The
        // left one hands the drag to the system; the others are followed here.
        case WM_LBUTTONDOWN:
            StartFormDrag(hwnd_);
            return 0;
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN:
            drag_.Start(hwnd_, msg, wp);
            return msg == WM_XBUTTONDOWN;
        case WM_MOUSEMOVE:
            drag_.Follow(hwnd_);
            return 0;
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
        case WM_XBUTTONUP:
            drag_.Release(msg, wp);
            return msg == WM_XBUTTONUP;
        case WM_CAPTURECHANGED:
            drag_.Stop();
            return 0;
        case WM_CTLCOLORSTATIC:
            return OnCtlColorStatic(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
        case WM_GETDPISCALEDSIZE: {
            // The size the window will have at the new DPI is its twips size, not the old pixel
            // size scaled, which rounds differently.
            *reinterpret_cast<SIZE*>(lp) = SizeForDpi(LOWORD(wp));
            return TRUE;
        }
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wp), *reinterpret_cast<const RECT*>(lp));
            return 0;
        case WM_GETMINMAXINFO:
            OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lp));
            return 0;
        case WM_SIZE:
            OnSize(static_cast<UINT>(wp));
            return 0;
        case WM_SYSCOLORCHANGE:
        case WM_SETTINGCHANGE:
        case WM_THEMECHANGED:
            // New colours or high contrast: the look is read again. A new text size or theme may
            // come with a new message font: remade as for a new DPI. Cheap enough not to pick
            // among the many settings that announce themselves so.
            if (msg == WM_SYSCOLORCHANGE ||
                (msg == WM_SETTINGCHANGE && wp == SPI_SETHIGHCONTRAST)) {
                ReadLook();
            }
            // Erased as well: a control that clears its background only on WM_ERASEBKGND would
            // keep the old letters around the new ones.
            ApplyFonts();
            RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            return 0;
        case WM_TIMER:
            // Text dropped on the window or any of its controls (OLE looks for a target up from the
            // window under the pointer). Once the window is painted: under Wine, registering
            // starts the COM server that other processes' drags reach it through.
            if (wp == kTakeDropsTimer) {
                KillTimer(hwnd_, kTakeDropsTimer);
                RegisterDragDrop(hwnd_, &drop_);
            }
            return 0;
        case WM_DESTROY:
            // No drag reaches the target once the window is gone, nor holds it after that.
            RevokeDragDrop(hwnd_);
            CoDisconnectObject(&drop_, 0);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

bool MainWindow::OnCreate() {
    for (const ControlLayout& c : kMainWindowControls) {
        HWND control = CreateWindowExW(
            c.exStyle, c.className, c.caption, WS_CHILD | c.style, 0, 0, 0, 0, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance_, nullptr);
        if (!control) return false;
    }
    addressBox_ = GetDlgItem(hwnd_, IDC_ADDRESS_BOX);
    closeLabel_ = GetDlgItem(hwnd_, IDC_CLOSE);
    ClickOnRelease(closeLabel_);
    lastFocus_ = addressBox_;
    // No limit of the box's own: the default would cut a paste at 32767 characters.
    SendMessageW(addressBox_, EM_SETLIMITTEXT, 0, 0);
    host_.Attach(hwnd_, addressBox_);
    // No DPI change message arrives at creation: start from the DPI the window is created at.
    dpi_ = GetDpiForWindow(hwnd_);
    look_ = LookFor(HighContrastOn(), GetSysColor);
    ApplyFonts();
    return true;
}

SIZE MainWindow::SizeForDpi(UINT dpi) const {
    return {TwipsToPixels(kWindowWidthTwips, dpi), TwipsToPixels(kWindowHeightTwips, dpi)};
}

void MainWindow::ApplyFonts() {
    const UniqueFont oldControlFont = std::exchange(controlFont_, MessageFontFor(dpi_));
    const UniqueFont oldLabelFont = std::exchange(labelFont_, LabelFontFor(dpi_));
    for (const ControlLayout& c : kMainWindowControls) {
        HWND control = GetDlgItem(hwnd_, c.id);
        HGDIOBJ font = control == closeLabel_ ? labelFont_.get() : controlFont_.get();
        if (!font) font = GetStockObject(DEFAULT_GUI_FONT);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

void MainWindow::LayOut() {
    const SIZE size = SizeForDpi(dpi_);
    // The 1x picture is drawn as it is at 96 DPI; elsewhere the 2x one is scaled down (or up)
    // smoothly, which stays sharper than stretching the small one.
    backgroundBrush_.reset();
    background_.reset();
    if (look_.picture) {
        background_ =
            LoadSkin(instance_, dpi_ == USER_DEFAULT_SCREEN_DPI ? IDR_SKIN_1X : IDR_SKIN_2X,
                     size.cx, size.cy);
    }
    if (!background_) background_ = PlainPanel(size.cx, size.cy, look_.panel, look_.edge);
    backgroundBrush_.reset(background_ ? CreatePatternBrush(background_.get()) : nullptr);
    for (const ControlLayout& c : kMainWindowControls) {
        SetWindowPos(GetDlgItem(hwnd_, c.id), nullptr, TwipsToPixels(c.left, dpi_),
                     TwipsToPixels(c.top, dpi_), TwipsToPixels(c.width, dpi_),
                     TwipsToPixels(c.height, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The controls too: with WS_CLIPCHILDREN the window's own invalidation stops at them, and a
    // moved control keeps the pixels it had unless its class redraws on a resize, which the
    // static "X" does not: it would keep its old letter at its new place and size.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void MainWindow::PaintContent(HDC dc) const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (!background_) {  // out of GDI objects: the panel's colour at least
        SetDCBrushColor(dc, look_.panel);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        return;
    }
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    SelectGuard select(memory.get(), background_.get());
    BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

void MainWindow::RememberFocus(HWND focus) {
    if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
}

void MainWindow::OnSetFocus(HWND lost) {
    // The window itself takes no keys: as a dialog does, it passes the focus on to the control
    // that had it last (activated again, restored from the taskbar, Alt+Tab), unless it is
    // minimized, where a focused child would take keys meant for the taskbar button.
    RememberFocus(lost);
    if (!IsIconic(hwnd_)) SetFocus(lastFocus_ ? lastFocus_ : addressBox_);
}

void MainWindow::OnCommand(int id, UINT code) {
    // IDOK and IDCANCEL (Enter and Escape from the dialog manager, away from a focused button)
    // run nothing: there is no default or cancel button. Escape only ends a drag.
    if (id == IDCANCEL) {
        drag_.Cancel(hwnd_);
        return;
    }
    if (id == IDC_CLOSE && code == STN_CLICKED) {
        DestroyWindow(hwnd_);  // ends the program: nothing to ask, nothing to save
        return;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
        case IDC_DOWNLOAD:
            Download(host_);
            break;
        case IDC_GET:
            GetLink(host_);
            break;
        case IDC_ABOUT:
            ShowAbout(host_);
            break;
        default:
            break;
    }
}

LRESULT MainWindow::OnCtlColorStatic(HDC dc, HWND control) {
    if (control != closeLabel_) {
        return DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(control));
    }
    // The label paints its own background, and that is the background under it (the picture,
    // or the panel and its edge): when it repaints alone, the letter goes onto that, not over
    // the last one.
    SetTextColor(dc, look_.closeText);
    SetBkMode(dc, TRANSPARENT);
    if (!backgroundBrush_) {
        SetDCBrushColor(dc, look_.panel);
        return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
    }
    POINT at{};  // the label's place on the picture
    MapWindowPoints(control, hwnd_, &at, 1);
    SetBrushOrgEx(dc, -at.x, -at.y, nullptr);
    return reinterpret_cast<LRESULT>(backgroundBrush_.get());
}

void MainWindow::OnGetMinMaxInfo(MINMAXINFO& info) const {
    // The window has one size at each DPI, and a maximise asked from outside (ShowWindow, a
    // shortcut set to "Maximised") is undone at once in WM_SIZE: meanwhile it keeps that size and
    // its place. MINMAXINFO's position is the maximized window's, based on the primary monitor's
    // position, and the window manager adjusts it for the difference between that monitor and the
    // one the window maximizes on: so it is the window's offset from its own monitor's origin (not
    // its work area), given whole rather than added to the default the system filled in.
    const SIZE size = SizeForDpi(dpi_);
    info.ptMaxSize = {size.cx, size.cy};
    RECT window{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!IsIconic(hwnd_) && GetWindowRect(hwnd_, &window) &&
        GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor)) {
        info.ptMaxPosition = {window.left - monitor.rcMonitor.left,
                              window.top - monitor.rcMonitor.top};
    }
}

void MainWindow::OnSize(UINT kind) {
    if (kind == SIZE_MINIMIZED) {
        minimized_ = true;
        return;
    }
    if (kind == SIZE_MAXIMIZED) {
        ShowWindow(hwnd_, SW_RESTORE);  // back to the normal placement, where it was
        return;
    }
    if (kind != SIZE_RESTORED || !std::exchange(minimized_, false)) return;
    // Restored after a DPI change while minimized: the placement gave it the new size, but
    // Wine's X11 window keeps the old one until a frame change at that size. On Windows this is
    // only a frame change.
    if (std::exchange(sizeOnRestore_, false)) {
        RECT r{};
        GetWindowRect(hwnd_, &r);
        SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    // A guard: the window's DPI is always the last one WM_DPICHANGED sent, so it should be dpi_
    // here; should it not be, the window is laid out at the DPI it has rather than left with the
    // size and fonts of another.
    const UINT dpi = GetDpiForWindow(hwnd_);
    if (dpi != 0 && dpi != dpi_) {
        RECT r{};
        GetWindowRect(hwnd_, &r);
        const SIZE size = SizeForDpi(dpi);
        OnDpiChanged(dpi, {r.left, r.top, r.left + size.cx, r.top + size.cy});
    }
}

void MainWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
    drag_.Rescale(dpi_, dpi);
    dpi_ = dpi;
    ApplyFonts();
    if (IsIconic(hwnd_)) {
        // The suggestion is for the icon, and moving an icon does not change the size it is
        // restored to: that is the normal placement, which takes the new size where it is.
        WINDOWPLACEMENT placement{};
        placement.length = sizeof(placement);
        GetWindowPlacement(hwnd_, &placement);
        const SIZE size = SizeForDpi(dpi);
        placement.rcNormalPosition.right = placement.rcNormalPosition.left + size.cx;
        placement.rcNormalPosition.bottom = placement.rcNormalPosition.top + size.cy;
        placement.showCmd = SW_SHOWMINNOACTIVE;
        SetWindowPlacement(hwnd_, &placement);
        sizeOnRestore_ = true;
    } else {
        // One resize, to the rectangle the system suggests (it asked WM_GETDPISCALEDSIZE for its
        // size). During a pointer drag the pointer places it, lest the new size leave most of it
        // on the screen it came from.
        RECT r = suggested;
        drag_.Carry(r);
        SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LayOut();
}

void MainWindow::ReadLook() {
    look_ = LookFor(HighContrastOn(), GetSysColor);
    // Common controls learn of new colours from their parent.
    for (HWND c = GetWindow(hwnd_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        SendMessageW(c, WM_SYSCOLORCHANGE, 0, 0);
    }
    LayOut();
}

}  // namespace kavo
