#pragma once
// Form1: the program's one window, borderless and picture-skinned, with its five controls.

#include <windows.h>

#include "window_command_host.h"
#include "win32_handles.h"

namespace kavo {

class Form1 {
  public:
    // The form's Initialize: sets up the common controls before any control exists.
    explicit Form1(HINSTANCE instance);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window centred on the screen, shows it and puts the focus in the text box.
    bool Create();
    HWND hwnd() const { return hwnd_; }

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

    bool OnCreate();
    void OnPaint();
    void OnActivate(WPARAM wp);
    void OnCommand(int id, UINT code);
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    void OnDpiChanged(UINT dpi, const RECT& suggested);

    // Sizes the window, places the controls and rebuilds fonts and picture for dpi.
    void LayOut(UINT dpi);

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND text1_ = nullptr;
    HWND label3_ = nullptr;
    HWND lastFocus_ = nullptr;  // given back when the window is activated again
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    UniqueFont controlFont_;
    UniqueFont labelFont_;
    UniqueBitmap skin_;
    WindowCommandHost host_;
};

}  // namespace kavo
