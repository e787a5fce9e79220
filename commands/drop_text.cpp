#include "commands.h"

namespace kavo {
namespace {

// What a paste into a one-line box keeps: up to the first line break, or the null that ends it.
std::u16string_view FirstLine(std::u16string_view text) {
    constexpr std::u16string_view kLineEnds(u"\r\n\0", 3);
    return text.substr(0, text.find_first_of(kLineEnds));
}

}  // namespace

void DropText(CommandHost& host, std::optional<std::u16string_view> text,
              std::optional<std::u16string_view> link) noexcept {
    if (text) text = FirstLine(*text);
    // A source may offer an empty text beside the link it means.
    if (link && (!text || text->empty())) text = FirstLine(*link);
    if (!text) return;
    try {
        host.ReplaceText(*text);
    } catch (...) {
    }
}

}  // namespace kavo
