#pragma once
// Resource and control identifiers, shared by the resource script, the program and its test driver.

#define IDI_KAVO 1
#define IDR_SKIN_1X 101
#define IDR_SKIN_2X 102

// Control IDs stay clear of IDOK (1) and IDCANCEL (2): the dialog manager sends those for Enter
// and Escape (away from a focused button), which run no command here.
#define IDC_ADDRESS_BOX 1001
#define IDC_DOWNLOAD 1002
#define IDC_GET 1003
#define IDC_ABOUT 1004
#define IDC_CLOSE 1005
#define IDC_ADDRESS_NAME 1006
