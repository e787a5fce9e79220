// Stands in for the browser as the handler of http addresses: appends its working folder and each
// argument, as one line, to the file named by KAVO_RECORD.

#include <windows.h>

#include <cstdio>
#include <string>

#include "hex.h"

int wmain(int argc, wchar_t** argv) {
    wchar_t path[MAX_PATH] = {}, folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"KAVO_RECORD", path, MAX_PATH)) return 2;
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::string line = Hex(folder);
    for (int i = 1; i < argc; ++i) line += " " + Hex(argv[i]);
    FILE* file = _wfopen(path, L"ab");
    if (!file) return 3;
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
    return 0;
}
