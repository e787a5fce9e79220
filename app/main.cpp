// Kavo: turns a video page's address into the direct address of its Flash Video file.

#include <windows.h>

#include "main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    kavo::ComApartment com;  // the picture decoder is a COM object
    kavo::Form1 form(instance);
    if (!form.Create()) return 1;

    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // The dialog manager gives the form Tab, Shift+Tab and arrow-key navigation.
        if (!IsDialogMessageW(form.hwnd(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
