#include "commands.h"

#include "shell_address.h"
#include "site_values.h"
#include "video_links.h"

namespace kavo {

void Download(CommandHost& host) noexcept {
    try {
        const std::u16string s = host.Text();
        if (!IsVideoPageLink(s)) return;
        host.OpenAddress(EncodeForShell(BuildMediaLink(SiteOneMediaHost, VideoIdOf(s))));
    } catch (...) {
    }
}

}  // namespace kavo
