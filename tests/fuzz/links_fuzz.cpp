// On any text: recognition agrees with a plain reference definition, the identifier is the text's
// tail, and the shell encoder writes only printable ASCII that a URI may hold.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell_address.h"
#include "site_values.h"
#include "video_links.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text(size / 2, u'\0');  // two bytes a UTF-16 unit
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    bool reference = false;
    for (std::u16string_view domain : {kavo::SiteOneDomain, kavo::SiteTwoDomain}) {
        for (std::u16string_view scheme : {u"http://", u"http://www."}) {
            const std::u16string prefix = std::u16string(scheme).append(domain).append(u"/play:");
            reference = reference || (text.size() == prefix.size() + 8 && text.starts_with(prefix));
        }
    }
    const kavo::VideoId id = kavo::VideoIdOf(text);
    constexpr std::string_view forbidden = " \"<>\\^`{|}";
    bool ok = kavo::IsVideoPageLink(text) == reference && text.ends_with(id) &&
              id.size() == (text.size() < 8 ? text.size() : 8);
    for (char c : kavo::EncodeForShell(text)) {
        ok = ok && c > 0x20 && c < 0x7F && forbidden.find(c) == forbidden.npos;
    }
    if (!ok) std::abort();
    return 0;
}
