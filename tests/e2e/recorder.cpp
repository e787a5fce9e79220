// The browser's stand-in as the http handler: appends its working folder (in its long form) and
// each argument, space-separated, as one UTF-8 line to the file KAVO_RECORD names.

#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    wchar_t path[MAX_PATH] = {}, folder[MAX_PATH] = {}, full[1024] = {};
    if (!GetEnvironmentVariableW(L"KAVO_RECORD", path, MAX_PATH)) return 2;
    GetCurrentDirectoryW(MAX_PATH, folder);
    GetLongPathNameW(folder, full, 1024);
    std::wstring line = full;
    for (int i = 1; i < argc; ++i) line.append(L" ").append(argv[i]);
    std::string utf8(line.size() * 3 + 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()),
                        nullptr, nullptr);
    FILE* file = _wfopen(path, L"ab");
    if (!file) return 3;
    std::fprintf(file, "%s\n", utf8.c_str());
    std::fclose(file);
    return 0;
}
