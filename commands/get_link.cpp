#include "commands.h"

#include "site_values.h"
#include "video_links.h"

namespace kavo {

void GetLink(CommandHost& host) noexcept {
    // A failure anywhere (out of memory on a huge paste, a host error) leaves the box as it is.
    try {
        const std::u16string s = host.Text();
        std::u16string link;
        if (IsVideoPageLink(s)) link = BuildMediaLink(SiteTwoMediaHost, VideoIdOf(s));
        host.ReplaceText(link);
    } catch (...) {
    }
}

}  // namespace kavo
