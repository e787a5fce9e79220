// Reads Kavo's window back from inside the desktop session, where only these Win32 calls work,
// delivers what the system would (DPI changes, messages, an OLE drag), is the browser (record);
// prints key=value lines, texts as hex UTF-16 code units, so any text comes back exactly.

#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <string>
#include <utility>

#include "offered_data.h"
#include "resource.h"

namespace {

std::string Hex(const std::wstring& text) {
    std::string out;
    char unit[5];
    for (wchar_t c : text) {
        std::snprintf(unit, sizeof unit, "%04x", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

std::wstring TextOf(HWND hwnd) {
    // WM_GETTEXT rather than GetWindowText, which does not read another process's controls.
    std::wstring text(static_cast<std::size_t>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0)) + 1, 0);
    text.resize(static_cast<std::size_t>(
        SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

std::wstring AccessibleName(HWND control) {
    IAccessible* accessible = nullptr;
    BSTR name = nullptr;
    if (SUCCEEDED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                             __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&accessible)))) {
        VARIANT self{};
        self.vt = VT_I4;  // CHILDID_SELF
        accessible->get_accName(self, &name);
        accessible->Release();
    }
    std::wstring text = name ? name : L"";
    SysFreeString(name);
    return text;
}

void Children(const char* key, HWND parent) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        GetClassNameW(c, name, 64);
        RECT r{};
        GetWindowRect(c, &r);
        std::printf("%s=%d %ls %ld,%ld,%ld,%ld %lld %s %s\n", key, GetDlgCtrlID(c), name, r.left,
                    r.top, r.right, r.bottom,
                    static_cast<long long>(GetWindowLongPtrW(c, GWL_STYLE)),
                    Hex(AccessibleName(c)).c_str(), Hex(TextOf(c)).c_str());
    }
}

void Info(HWND window) {
    for (const auto& [key, get] :
         {std::pair{"window", &GetWindowRect}, {"client", &GetClientRect}}) {
        RECT r{};
        get(window, &r);
        std::printf("%s=%ld,%ld,%ld,%ld\n", key, r.left, r.top, r.right, r.bottom);
    }
    GUITHREADINFO thread{};
    thread.cbSize = sizeof(thread);
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);
    const HWND box = GetDlgItem(window, IDC_ADDRESS_BOX);
    const auto length = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    std::printf("style=%lld\nenabled=%d\nfocus=%d\nlength=%lld\ntext=%s\n",
                static_cast<long long>(GetWindowLongPtrW(window, GWL_STYLE)),
                IsWindowEnabled(window) ? 1 : 0,
                thread.hwndFocus ? GetDlgCtrlID(thread.hwndFocus) : 0,
                static_cast<long long>(length), length < 100000 ? Hex(TextOf(box)).c_str() : "");
    Children("control", window);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    std::printf("pid=%lu\n", pid);
    HWND popup = nullptr;
    while ((popup = FindWindowExW(nullptr, popup, nullptr, nullptr)) != nullptr &&
           (GetWindow(popup, GW_OWNER) != window || !IsWindowVisible(popup))) {
    }
    std::printf("popup=%d\n", popup ? 1 : 0);
    if (!popup) return;
    std::printf("popup_title=%s\n", Hex(TextOf(popup)).c_str());
    Children("popup_control", popup);
}

// As the system does: WM_GETDPISCALEDSIZE (unanswered, the old size scaled), then WM_DPICHANGED
// with that size; both carry pointers, so their memory is made in the window's own process.
int ChangeDpi(HWND window, int old, UINT dpi) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, 0, pid);
    void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    if (!remote) return 2;
    RECT r{};
    GetWindowRect(window, &r);
    const auto scaled = [&](LONG pixels) { return MulDiv(pixels, static_cast<int>(dpi), old); };
    SIZE size{scaled(r.right - r.left), scaled(r.bottom - r.top)};
    WriteProcessMemory(process, remote, &size, sizeof(size), nullptr);
    const auto lp = reinterpret_cast<LPARAM>(remote);
    if (SendMessageW(window, WM_GETDPISCALEDSIZE, MAKEWPARAM(dpi, dpi), lp)) {
        ReadProcessMemory(process, remote, &size, sizeof(size), nullptr);
    }
    r = {r.left, r.top, r.left + size.cx, r.top + size.cy};
    WriteProcessMemory(process, remote, &r, sizeof(r), nullptr);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), lp);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return 0;
}

// Kavo's visible window, not one of an ended process's that lingers (the previous test's Kavo).
HWND FindKavo() {
    for (HWND w = nullptr;
         (w = FindWindowExW(nullptr, w, L"KavoMainWindow", L"Kavo")) != nullptr;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
        const bool alive = process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
        if (process) CloseHandle(process);
        if (alive && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

// Drops once OLE's drag loop (every 50 ms) has asked a few times: the target has given its effect.
class DropSoon final : public IDropSource {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = iid == IID_IUnknown || iid == IID_IDropSource ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }  // on the stack, for DoDragDrop alone
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP QueryContinueDrag(BOOL, DWORD) override {
        return ++polls < 4 ? S_OK : DRAGDROP_S_DROP;
    }
    STDMETHODIMP GiveFeedback(DWORD effect) override {
        shown = effect;  // the cursor: a copy, or "no"
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }
    int polls = 0;
    DWORD shown = DROPEFFECT_NONE;
};

void Drag(bool file) {
    const std::string utf8{std::istreambuf_iterator<char>(std::cin), {}};
    std::wstring text(utf8.size(), L'\0');
    text.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                            static_cast<int>(text.size()))));
    OfferedData data(file ? CF_HDROP : CF_UNICODETEXT, text);
    DropSoon source;
    DWORD effect = DROPEFFECT_NONE;
    OleInitialize(nullptr);
    DoDragDrop(&data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
    OleUninitialize();
    std::printf("effect=%lu,%lu\n", source.shown, effect);
}

// As the handler of http addresses: appends its working folder (long form) and the address.
int Record(const wchar_t* address) {
    wchar_t path[MAX_PATH] = {}, folder[MAX_PATH] = {}, full[1024] = {};
    GetEnvironmentVariableW(L"KAVO_RECORD", path, MAX_PATH);
    GetCurrentDirectoryW(MAX_PATH, folder);
    GetLongPathNameW(folder, full, 1024);
    FILE* file = _wfopen(path, L"ab");
    if (!file) return 2;
    const std::string shortForm = wcscmp(folder, full) ? " " + Hex(L"(short)") : "";  // as given
    std::fprintf(file, "%s %s%s\n", Hex(full).c_str(), Hex(address).c_str(), shortForm.c_str());
    std::fclose(file);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"record" && argc == 3) return Record(argv[2]);
    const DWORD start = GetTickCount();
    HWND window = nullptr;
    while (!(window = FindKavo())) {
        if (GetTickCount() - start > (command == L"wait" ? 20000u : 2000u)) return 1;
        Sleep(25);
    }
    if (command == L"dpi" && argc == 4) {
        return ChangeDpi(window, _wtoi(argv[2]), static_cast<UINT>(_wtoi(argv[3])));
    }
    if (command == L"focus") {  // SetFocus works across threads that share their input
        const DWORD self = GetCurrentThreadId(), its = GetWindowThreadProcessId(window, nullptr);
        AttachThreadInput(self, its, TRUE);
        SetFocus(window);
        AttachThreadInput(self, its, FALSE);
    } else if (command == L"send" && argc == 4) {
        SendMessageW(window, wcstoul(argv[2], nullptr, 0), wcstoul(argv[3], nullptr, 0), 0);
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);  // what it made
    } else if (command == L"minmax") {  // the system carries this one between processes
        MINMAXINFO limits{};
        limits.ptMaxPosition = {-8, -8};  // the system's for a window with a sizing frame
        SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
        std::printf("maxsize=%ld,%ld\nmaxpos=%ld,%ld\n", limits.ptMaxSize.x, limits.ptMaxSize.y,
                    limits.ptMaxPosition.x, limits.ptMaxPosition.y);
        return 0;
    } else if (command == L"drag") {  // effect=SHOWN,DONE: over the window, and at the end
        Drag(argc == 3 && std::wstring(argv[2]) == L"file");
    } else if (command == L"redraw" && argc == 3) {
        RedrawWindow(GetDlgItem(window, _wtoi(argv[2])), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    Info(window);
    return 0;
}
