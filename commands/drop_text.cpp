#include "commands.h"

namespace kavo {

void DropText(CommandHost& host, std::optional<std::u16string_view> text,
              std::optional<std::u16string_view> link) noexcept {
    if (!text) text = link;
    if (!text) return;
    try {
        constexpr std::u16string_view kLineEnds(u"\r\n\0", 3);
        host.ReplaceText(text->substr(0, text->find_first_of(kLineEnds)));
    } catch (...) {
    }
}

}  // namespace kavo
