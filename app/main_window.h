#pragma once
// MainWindow: the program's one window, borderless and picture-skinned, with its five controls.

#include <windows.h>

#include "drag_and_click.h"
#include "drop_target.h"
#include "look.h"
#include "window_command_host.h"
#include "win32_handles.h"

namespace kavo {

class MainWindow {
  public:
    // Sets up the common controls before any control exists.
    explicit MainWindow(HINSTANCE instance);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window centred on the screen and shows it as the program was asked to (show is
    // wWinMain's nCmdShow); once the window is active, the focus is in the address box.
    bool Create(int show);
    HWND hwnd() const { return hwnd_; }

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

    bool OnCreate();
    // All drawing, for WM_PAINT and WM_PRINTCLIENT alike.
    void PaintContent(HDC dc) const;
    // Keeps focus as the control to give the focus back to, when it is one of the window's.
    void RememberFocus(HWND focus);
    void OnSetFocus(HWND lost);
    void OnCommand(int id, UINT code);
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    void OnGetMinMaxInfo(MINMAXINFO& info) const;
    // Undoes a maximise; on a restore from the taskbar, makes sure of the size and the DPI.
    void OnSize(UINT kind);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    // Reads the high-contrast setting and the system colours again, and lays out in that look;
    // the caller redraws.
    void ReadLook();

    // The window's size at dpi_, from its size in twips.
    SIZE SizeForDpi(UINT dpi) const;
    // Makes the fonts for dpi_ and hands them to the controls; the old ones go after that.
    void ApplyFonts();
    // Places the controls and makes the background for dpi_ and the look: from the DPI alone,
    // since a minimized window has no client area to measure.
    void LayOut();

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND addressBox_ = nullptr;
    HWND closeLabel_ = nullptr;
    HWND lastFocus_ = nullptr;  // given back when the window is activated or focused again
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    bool minimized_ = false;
    bool sizeOnRestore_ = false;  // the DPI changed while minimized: made sure of on restore
    UniqueFont controlFont_;
    UniqueFont labelFont_;
    Look look_{};
    UniqueBitmap background_;      // the picture, or the plain panel
    UniqueBrush backgroundBrush_;  // the same, under the "X"
    PointerDrag drag_;
    WindowCommandHost host_;
    DropTarget drop_{host_};
};

}  // namespace kavo
