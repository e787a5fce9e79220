#pragma once
// The main window's geometry in twips (1/1440 inch): 15 twips are one pixel at 96 DPI, and every
// other DPI scales from the same numbers, so the window looks the same size on any screen.

#include <windows.h>

#include "resource.h"

namespace kavo {

inline constexpr int kWindowWidthTwips = 3735;   // 249 px at 96 DPI, the picture's width
inline constexpr int kWindowHeightTwips = 1575;  // 105 px

inline int TwipsToPixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

struct ControlLayout {
    int id;
    const wchar_t* className;
    const wchar_t* caption;
    DWORD style;
    DWORD exStyle;
    int left, top, width, height;  // twips
};

// Creation order is tab order: the address box, then "Свали", "Вземи", "За..." (not the screen
// order). The close label never takes the focus.
inline constexpr ControlLayout kMainWindowControls[] = {
    // Never shown, and of no size, so that no point of the window is under it: screen readers
    // name an edit after the static label created just before it.
    {IDC_ADDRESS_NAME, L"STATIC", L"Адрес на страницата на видеото", SS_LEFT | SS_NOPREFIX, 0, 0, 0,
     0, 0},
    {IDC_ADDRESS_BOX, L"EDIT", L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT,
     WS_EX_CLIENTEDGE, 240, 675, 3135, 285},
    {IDC_DOWNLOAD, L"BUTTON", L"Свали", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 2400, 975, 915,
     300},
    {IDC_GET, L"BUTTON", L"Вземи", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 1440, 975, 855, 300},
    {IDC_ABOUT, L"BUTTON", L"За...", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 480, 975, 855,
     300},
    // SS_NOTIFY makes the label report clicks instead of letting them through to the window.
    {IDC_CLOSE, L"STATIC", L"X", WS_VISIBLE | SS_LEFT | SS_NOTIFY | SS_NOPREFIX, 0, 3480, 0, 150,
     225},
};

}  // namespace kavo
