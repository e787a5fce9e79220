#include "window_command_host.h"

#include <string>

namespace kavo {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

std::u16string WindowCommandHost::Text() {
    const int length = GetWindowTextLengthW(text1_);
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(text1_, buffer.data(), length + 1);
    return std::u16string(buffer.begin(), buffer.begin() + got);
}

void WindowCommandHost::ReplaceText(std::u16string_view text) {
    // Selecting all and replacing the selection keeps the edit undoable with Ctrl+Z, which
    // setting the window text would not.
    if (text.empty() && GetWindowTextLengthW(text1_) == 0) return;
    const std::wstring wide(text.begin(), text.end());
    SendMessageW(text1_, EM_SETSEL, 0, -1);
    SendMessageW(text1_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
}

}  // namespace kavo
