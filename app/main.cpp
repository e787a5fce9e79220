// Kavo: turns a video page's address into the direct address of its Flash Video file.

#include <windows.h>

#include "main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    // Kavo often runs from a downloads folder where anything may lie beside it. From here on, a
    // library loaded by name, by Kavo or by the system code it calls, is looked for in System32
    // only, never beside kavo.exe or in the current folder. What was loaded before wWinMain ran was
    // searched the usual way: Kavo's own imports are known DLLs, always taken from System32, but
    // for comctl32, which the manifest takes from the side-by-side store; the libraries those load
    // in turn (uxtheme, for one) are looked for beside kavo.exe first unless they too are known
    // DLLs.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // The picture decoder is a COM object, the shell wants a single-threaded apartment, and drops
    // need OLE.
    kavo::OleApartment ole;
    kavo::MainWindow window(instance);
    if (!window.Create(show)) return 1;

    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // The dialog manager moves the focus on Tab and Shift+Tab. Enter on a focused button
        // clicks it, as in any dialog; elsewhere Enter and Escape reach the window as IDOK and
        // IDCANCEL, which run nothing, since there is no default or cancel button.
        if (!IsDialogMessageW(window.hwnd(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
