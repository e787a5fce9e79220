#include "window_command_host.h"

#include <shellapi.h>

#include <string>

namespace kavo {
namespace {

// The folder that holds kavo.exe, exactly: the wide API keeps any name, and the buffer grows for
// long paths.
std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (got == 0) return {};
        if (got < path.size()) {
            path.resize(got);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return {};
    path.resize(slash);
    // "E:" alone names drive E's current folder, not its root. A share's root, "\\server\share",
    // needs no backslash.
    if (path.ends_with(L':')) path.push_back(L'\\');
    return path;
}

// A folder the shell can start a program in: a working folder is at most MAX_PATH - 2 characters
// (with the backslash the system adds, and the null). A longer one is given in its short form;
// where even that is too long (no short names on that volume), none, and the shell's default
// applies.
std::wstring WorkingFolder(std::wstring folder) {
    constexpr std::size_t kLongest = MAX_PATH - 2;
    if (folder.size() <= kLongest) return folder;
    // Read through the \\?\ form, which lifts the length limit: "C:\..." as "\\?\C:\...", a
    // share's "\\server\..." as "\\?\UNC\server\...".
    const bool extended = folder.starts_with(L"\\\\?\\");
    const bool share = !extended && folder.starts_with(L"\\\\");
    const std::wstring prefix = extended ? L"" : share ? L"\\\\?\\UNC" : L"\\\\?\\";
    const std::wstring full = prefix + folder.substr(share ? 1 : 0);
    // The short form is not always the shorter ("a b" has a longer one). One longer than this
    // buffer, which is told by a result past its size, is longer than any working folder too.
    std::wstring shortForm(full.size() + 1, L'\0');
    const DWORD got =
        GetShortPathNameW(full.c_str(), shortForm.data(), static_cast<DWORD>(shortForm.size()));
    if (got == 0 || got >= shortForm.size()) return {};
    shortForm.resize(got);
    shortForm.erase(0, prefix.size());
    if (share) shortForm.insert(0, 1, L'\\');
    return shortForm.size() <= kLongest ? shortForm : std::wstring();
}

}  // namespace

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");
static_assert(kAboutStyle == (MB_OK | MB_ICONINFORMATION));

std::u16string WindowCommandHost::Text() {
    const int length = GetWindowTextLengthW(addressBox_);
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(addressBox_, buffer.data(), length + 1);
    return std::u16string(buffer.begin(), buffer.begin() + got);
}

void WindowCommandHost::ReplaceText(std::u16string_view text) {
    // Selecting all and replacing the selection keeps the edit undoable with Ctrl+Z, which
    // setting the window text would not.
    if (text.empty() && GetWindowTextLengthW(addressBox_) == 0) return;
    const std::wstring wide(text.begin(), text.end());
    SendMessageW(addressBox_, EM_SETSEL, 0, -1);
    SendMessageW(addressBox_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
}

void WindowCommandHost::OpenAddress(std::string_view address) {
    const std::wstring file(address.begin(), address.end());  // ASCII: widening is exact
    const std::wstring folder = WorkingFolder(ProgramFolder());
    // shell32 is loaded here, not with kavo.exe: it is a large library that the window does not
    // need to start. From System32, as every library Kavo loads, and pinned, never unloaded: COM
    // objects the shell made may use it until COM shuts down, after the window has gone.
    HMODULE shell = LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!shell || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"shell32.dll", &shell))
        return;
    const auto execute = reinterpret_cast<decltype(&ShellExecuteW)>(
        reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteW")));
    if (execute) {
        execute(window_, L"OPEN", file.c_str(), nullptr, folder.empty() ? nullptr : folder.c_str(),
                SW_SHOWNORMAL);
    }
}

void WindowCommandHost::ShowMessage(std::u16string_view text, std::u16string_view title,
                                    unsigned style) {
    const std::wstring wideText(text.begin(), text.end()), wideTitle(title.begin(), title.end());
    MessageBoxW(window_, wideText.c_str(), wideTitle.c_str(), style);
}

}  // namespace kavo
