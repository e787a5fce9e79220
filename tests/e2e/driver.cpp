// Test driver: reads Kavo's window back with Win32 calls, for the end-to-end tests.
// Each command prints key=value lines, texts in hex.

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hex.h"
#include "resource.h"

namespace {

std::wstring TextOf(HWND hwnd) {
    // WM_GETTEXT rather than GetWindowText: the latter does not read another process's controls.
    const auto length = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto got =
        SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(got));
    return text;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[128] = {};
    GetClassNameW(hwnd, name, 128);
    return name;
}

void Line(const char* key, const std::string& value) { std::printf("%s=%s\n", key, value.c_str()); }
void Line(const char* key, long long value) { std::printf("%s=%lld\n", key, value); }
std::string Rect(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

HWND FindForm(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND form = FindWindowW(L"KavoForm1", L"Kavo");
        if (form && IsWindowVisible(form)) return form;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(25);
    }
}

// The top-level window (message box) that the form owns, if one is open.
HWND OwnedPopup(HWND form) {
    struct Search {
        HWND form, found;
    } search{form, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            if (hwnd != s->form && GetWindow(hwnd, GW_OWNER) == s->form && IsWindowVisible(hwnd)) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int Info(HWND form) {
    RECT r{};
    GetWindowRect(form, &r);
    Line("window", Rect(r));
    GetClientRect(form, &r);
    Line("client", Rect(r));
    Line("style", static_cast<long long>(GetWindowLongPtrW(form, GWL_STYLE)));
    Line("title", Hex(TextOf(form)));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(form, MONITOR_DEFAULTTOPRIMARY), &monitor);
    Line("work", Rect(monitor.rcWork));

    GUITHREADINFO thread{};
    thread.cbSize = sizeof(thread);
    GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &thread);
    Line("focus", thread.hwndFocus ? GetDlgCtrlID(thread.hwndFocus) : 0);
    Line("enabled", IsWindowEnabled(form) ? 1 : 0);

    for (HWND child = GetWindow(form, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::string id = std::to_string(GetDlgCtrlID(child));
        GetWindowRect(child, &r);
        std::printf("control=%s %s %s %lld %s\n", id.c_str(), Hex(ClassOf(child)).c_str(),
                    Rect(r).c_str(), static_cast<long long>(GetWindowLongPtrW(child, GWL_STYLE)),
                    Hex(TextOf(child)).c_str());
    }
    HWND popup = OwnedPopup(form);
    Line("popup", popup ? 1 : 0);
    if (popup) {
        Line("popup_title", Hex(TextOf(popup)));
        GetWindowRect(popup, &r);
        Line("popup_rect", Rect(r));
        for (HWND child = GetWindow(popup, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            GetWindowRect(child, &r);
            const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
            const bool icon = ClassOf(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON;
            std::printf("popup_control=%d %s %s %d %s\n", GetDlgCtrlID(child),
                        Hex(ClassOf(child)).c_str(), Rect(r).c_str(), icon ? 1 : 0,
                        Hex(TextOf(child)).c_str());
        }
    }
    return 0;
}

// Puts the UTF-8 text of a file on the clipboard, for a test to paste with Ctrl+V.
int SetClipboardFromFile(const wchar_t* path) {
    HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    // The file holds UTF-16LE, so that lone surrogates survive.
    const std::size_t units = read / 2;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (units + 1) * sizeof(wchar_t));
    if (!memory) return 3;
    auto* text = static_cast<wchar_t*>(GlobalLock(memory));
    std::memcpy(text, bytes.data(), units * sizeof(wchar_t));
    text[units] = L'\0';
    GlobalUnlock(memory);
    for (int tries = 0; !OpenClipboard(nullptr); ++tries) {
        if (tries > 100) return 4;
        Sleep(20);
    }
    EmptyClipboard();
    const bool ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return ok ? 0 : 5;
}

int Version(const wchar_t* path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (!size) return 2;
    std::vector<char> data(size);
    if (!GetFileVersionInfoW(path, 0, size, data.data())) return 3;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length)) {
        auto dotted = [](DWORD ms, DWORD ls) {
            return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." +
                   std::to_string(HIWORD(ls)) + "." + std::to_string(LOWORD(ls));
        };
        Line("file_version", dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
        Line("product_version", dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
    }
    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &length) ||
        length < 4) {
        return 4;
    }
    wchar_t block[64];
    std::swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation->language,
                  translation->codePage);
    for (const wchar_t* name : {L"CompanyName", L"FileVersion", L"InternalName",
                                L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
        wchar_t* value = nullptr;
        if (VerQueryValueW(data.data(), (std::wstring(block) + name).c_str(),
                           reinterpret_cast<void**>(&value), &length)) {
            std::printf("string=%ls %s\n", name, Hex(value).c_str());
        }
    }
    return 0;
}

// The icon directory of the executable's first icon group: one line per image.
int Icons(const wchar_t* path) {
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return 2;
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(IDI_KAVO), RT_GROUP_ICON);
    const auto* dir =
        group ? static_cast<const BYTE*>(LockResource(LoadResource(module, group))) : nullptr;
    if (!dir) return 3;
    const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = dir + 6 + 14 * i;  // GRPICONDIRENTRY
        const WORD id = *reinterpret_cast<const WORD*>(entry + 12);
        const bool present = FindResourceW(module, MAKEINTRESOURCEW(id), RT_ICON) != nullptr;
        std::printf("icon=%d %d %d\n", entry[0], entry[1], present ? 1 : 0);
    }
    FreeLibrary(module);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 64;
    const std::wstring command = argv[1];
    if (command == L"version" && argc == 3) return Version(argv[2]);
    if (command == L"icons" && argc == 3) return Icons(argv[2]);
    if (command == L"clip" && argc == 3) return SetClipboardFromFile(argv[2]);

    HWND form = FindForm(command == L"wait" ? 20000 : 2000);
    if (!form) {
        Line("form", 0);
        return 1;
    }
    Line("form", 1);
    if (command == L"wait") {
        DWORD pid = 0;
        GetWindowThreadProcessId(form, &pid);
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
        if (process) {
            WaitForInputIdle(process, 5000);
            CloseHandle(process);
        }
        return Info(form);
    }
    if (command == L"info") return Info(form);
    if (command == L"resources") {
        DWORD pid = 0;
        GetWindowThreadProcessId(form, &pid);
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
        if (!process) return 2;
        PROCESS_MEMORY_COUNTERS memory{};
        GetProcessMemoryInfo(process, &memory, sizeof(memory));
        Line("gdi", GetGuiResources(process, GR_GDIOBJECTS));
        Line("user", GetGuiResources(process, GR_USEROBJECTS));
        Line("private",
             static_cast<long long>(memory.PagefileUsage));  // Wine leaves PrivateUsage 0
        // The process's windows, top-level and child: a USER count that Wine does report.
        struct Count {
            DWORD pid;
            long long windows;
        } count{pid, 0};
        EnumWindows(
            [](HWND hwnd, LPARAM lp) -> BOOL {
                auto* c = reinterpret_cast<Count*>(lp);
                DWORD owner = 0;
                GetWindowThreadProcessId(hwnd, &owner);
                if (owner != c->pid) return TRUE;
                ++c->windows;
                EnumChildWindows(
                    hwnd,
                    [](HWND, LPARAM inner) -> BOOL {
                        ++*reinterpret_cast<long long*>(inner);
                        return TRUE;
                    },
                    reinterpret_cast<LPARAM>(&c->windows));
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&count));
        Line("windows", count.windows);
        CloseHandle(process);
        return 0;
    }
    if (command == L"length") {
        Line("length", SendMessageW(GetDlgItem(form, IDC_TEXT1), WM_GETTEXTLENGTH, 0, 0));
        return 0;
    }
    if (command == L"text") {
        Line("text", Hex(TextOf(GetDlgItem(form, IDC_TEXT1))));
        return 0;
    }
    return 64;
}
