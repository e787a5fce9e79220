#include "commands.h"

#include "about_values.h"

namespace kavo {

void ShowAbout(CommandHost& host) noexcept {
    try {
        std::u16string text(u"Автор: ");
        text.append(AuthorName).append(u"\r\n").append(AuthorHomePage);
        host.ShowMessage(text, AboutTitle, kAboutStyle);
    } catch (...) {
    }
}

}  // namespace kavo
