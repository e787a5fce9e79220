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
    const std::wstring folder = ProgramFolder();
    ShellExecuteW(window_, L"OPEN", file.c_str(), nullptr,
                  folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL);
}

void WindowCommandHost::ShowMessage(std::u16string_view text, std::u16string_view title,
                                    unsigned style) {
    const std::wstring wideText(text.begin(), text.end()), wideTitle(title.begin(), title.end());
    MessageBoxW(window_, wideText.c_str(), wideTitle.c_str(), style);
}

}  // namespace kavo
