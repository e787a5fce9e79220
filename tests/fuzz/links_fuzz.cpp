// Recognition agrees with a plain reference definition; extraction and building keep their
// shape on any text.

#include <cstdlib>

#include "fuzz_input.h"
#include "site_values.h"
#include "video_links.h"

namespace {

bool ReferenceIsPageLink(const std::u16string& text) {
    for (std::u16string_view domain : {kavo::SiteOneDomain, kavo::SiteTwoDomain}) {
        for (std::u16string_view scheme : {u"http://", u"http://www."}) {
            const std::u16string prefix =
                std::u16string(scheme) + std::u16string(domain) + u"/play:";
            if (text.size() == prefix.size() + 8 && text.compare(0, prefix.size(), prefix) == 0) {
                return true;
            }
        }
    }
    return false;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = UnitsOf(data, size);
    const bool accepted = kavo::IsVideoPageLink(text);
    Check(accepted == ReferenceIsPageLink(text));

    const kavo::VideoId id = kavo::VideoIdOf(text);
    Check(id.size() == (text.size() < 8 ? text.size() : 8));
    Check(text.compare(text.size() - id.size(), id.size(), id) == 0);

    const std::u16string media = kavo::BuildMediaLink(kavo::SiteOneMediaHost, id);
    const std::u16string expected = u"http://" + std::u16string(kavo::SiteOneMediaHost) + u"/s/" +
                                    std::u16string(id.substr(0, 2)) + u"/" + std::u16string(id) +
                                    u".flv";
    Check(media == expected);
    if (accepted) Check(!kavo::IsVideoPageLink(media));
    return 0;
}
