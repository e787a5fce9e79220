#include "commands.h"

#include "author_values.h"

namespace kavo {

void ShowAbout(CommandHost& host) noexcept {
    try {
        std::u16string text(u"Автор: ");
        text.append(AuthorName).append(u"\r\n").append(AuthorHomePage);
        host.ShowMessage(text, u"Kavo v.1.2", kAboutStyle);
    } catch (...) {
    }
}

}  // namespace kavo
