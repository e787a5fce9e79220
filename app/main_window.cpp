#include "main_window.h"

#include <commctrl.h>

#include "form1_layout.h"
#include "module1.h"
#include "resource.h"
#include "skin.h"

namespace kavo {
namespace {

constexpr wchar_t kClassName[] = L"KavoForm1";
constexpr COLORREF kPanelGrey = RGB(234, 231, 226);  // the picture's panel, if it cannot be drawn

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

Form1::Form1(HINSTANCE instance) : instance_(instance) {
    // Before any control exists, so that the themed (version 6) controls are registered.
    InitCommonControls();
}

bool Form1::Create() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &Form1::WindowProc;
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
    // button its Minimize and Close entries.
    if (!CreateWindowExW(WS_EX_APPWINDOW, kClassName, L"Kavo",
                         WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, nullptr, nullptr,
                         instance_, this)) {
        return false;
    }

    RECT window{};
    GetWindowRect(hwnd_, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    const int width = window.right - window.left, height = window.bottom - window.top;
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    return true;
}

LRESULT CALLBACK Form1::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->HandleMessage(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT Form1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            return OnCreate() ? 0 : -1;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_ACTIVATE:
            OnActivate(wp);
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wp), HIWORD(wp));
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN:
            // Any button, anywhere on the background: the form has no title bar to drag.
            StartFormDrag(hwnd_);
            return msg == WM_XBUTTONDOWN;
        case WM_CTLCOLORSTATIC:
            return OnCtlColorStatic(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wp), *reinterpret_cast<const RECT*>(lp));
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

bool Form1::OnCreate() {
    for (const ControlLayout& c : kForm1Controls) {
        HWND control = CreateWindowExW(
            c.exStyle, c.className, c.caption, WS_CHILD | WS_VISIBLE | c.style, 0, 0, 0, 0, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance_, nullptr);
        if (!control) return false;
    }
    text1_ = GetDlgItem(hwnd_, IDC_TEXT1);
    label3_ = GetDlgItem(hwnd_, IDC_LABEL3);
    ClickOnRelease(label3_);
    lastFocus_ = text1_;
    // No limit of the box's own: the default would cut a paste at 32767 characters.
    SendMessageW(text1_, EM_SETLIMITTEXT, 0, 0);
    host_.Attach(hwnd_, text1_);
    // No DPI change message arrives at creation: lay out for the DPI the window starts at.
    LayOut(GetDpiForWindow(hwnd_));
    return true;
}

void Form1::LayOut(UINT dpi) {
    dpi_ = dpi;
    const int width = TwipsToPixels(kFormWidthTwips, dpi);
    const int height = TwipsToPixels(kFormHeightTwips, dpi);
    controlFont_ = MessageFontFor(dpi);
    labelFont_ = LabelFontFor(dpi);
    // The 1x picture is drawn as it is at 96 DPI; elsewhere the 2x one is scaled down (or up)
    // smoothly, which stays sharper than stretching the small one.
    skin_ = dpi == USER_DEFAULT_SCREEN_DPI ? LoadSkin(instance_, IDR_SKIN_1X, width, height)
                                           : LoadSkin(instance_, IDR_SKIN_2X, width, height);

    SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ControlLayout& c : kForm1Controls) {
        HWND control = GetDlgItem(hwnd_, c.id);
        SetWindowPos(control, nullptr, TwipsToPixels(c.left, dpi), TwipsToPixels(c.top, dpi),
                     TwipsToPixels(c.width, dpi), TwipsToPixels(c.height, dpi),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        HGDIOBJ font = control == label3_ ? labelFont_.get() : controlFont_.get();
        if (!font) font = GetStockObject(DEFAULT_GUI_FONT);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Form1::OnPaint() {
    PaintGuard paint(hwnd_);
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (!skin_) {
        SetDCBrushColor(paint.dc(), kPanelGrey);
        FillRect(paint.dc(), &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        return;
    }
    UniqueMemoryDc memory(CreateCompatibleDC(paint.dc()));
    SelectGuard select(memory.get(), skin_.get());
    BitBlt(paint.dc(), 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

void Form1::OnActivate(WPARAM wp) {
    // As a dialog does: the control that had the focus gets it back.
    if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
    } else {
        SetFocus(lastFocus_ ? lastFocus_ : text1_);
    }
}

void Form1::OnCommand(int id, UINT code) {
    // IDOK and IDCANCEL (Enter and Escape from the dialog manager) are ignored: there is no
    // default or cancel button.
    if (id == IDC_LABEL3 && code == STN_CLICKED) {
        DestroyWindow(hwnd_);  // ends the program: nothing to ask, nothing to save
        return;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
        case IDC_COMMAND1:
            Download(host_);
            break;
        case IDC_COMMAND2:
            GetLink(host_);
            break;
        case IDC_COMMAND3:
            ShowAbout(host_);
            break;
        default:
            break;
    }
}

LRESULT Form1::OnCtlColorStatic(HDC dc, HWND control) {
    if (control != label3_) {
        return DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(control));
    }
    // Transparent: the form has already painted the picture under the label.
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

void Form1::OnDpiChanged(UINT dpi, const RECT& suggested) {
    LayOut(dpi);
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace kavo
