// Stands in for the browser as the handler of http addresses: appends how it was started (command
// line, each argument, working directory) as one line to the file named by KAVO_RECORD.

#include <windows.h>

#include <string>

#include "hex.h"

int wmain(int argc, wchar_t** argv) {
    std::wstring path(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"KAVO_RECORD", path.data(), 32768);
    if (length == 0 || length >= 32768) return 2;
    path.resize(length);
    std::wstring folder(32768, L'\0');
    folder.resize(GetCurrentDirectoryW(32768, folder.data()));

    std::string line = "cmdline=" + Hex(GetCommandLineW()) + " cwd=" + Hex(folder) + " args=";
    for (int i = 1; i < argc; ++i) line += (i > 1 ? "," : "") + Hex(argv[i]);
    line += "\n";
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
