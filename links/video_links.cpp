#include "video_links.h"

#include "site_values.h"

namespace kavo {
namespace {

// One prefix, head + domain + "/play:", checked piece by piece so that no string is built.
bool HasPrefixAndId(std::u16string_view text, std::u16string_view head,
                    std::u16string_view domain) {
    constexpr std::u16string_view tail = u"/play:";
    if (text.size() != head.size() + domain.size() + tail.size() + kVideoIdLength) return false;
    return text.starts_with(head) && text.substr(head.size()).starts_with(domain) &&
           text.substr(head.size() + domain.size()).starts_with(tail);
}

}  // namespace

bool IsVideoPageLink(std::u16string_view text, std::u16string_view siteOneDomain,
                     std::u16string_view siteTwoDomain) {
    return HasPrefixAndId(text, u"http://", siteOneDomain) ||
           HasPrefixAndId(text, u"http://www.", siteOneDomain) ||
           HasPrefixAndId(text, u"http://", siteTwoDomain) ||
           HasPrefixAndId(text, u"http://www.", siteTwoDomain);
}

bool IsVideoPageLink(std::u16string_view text) {
    return IsVideoPageLink(text, SiteOneDomain, SiteTwoDomain);
}

VideoId VideoIdOf(std::u16string_view link) {
    const std::size_t n = link.size() < kVideoIdLength ? link.size() : kVideoIdLength;
    return link.substr(link.size() - n);
}

std::u16string BuildMediaLink(std::u16string_view mediaHost, std::u16string_view id) {
    constexpr std::u16string_view scheme = u"http://", folder = u"/s/", type = u".flv";
    const std::u16string_view shelf = id.substr(0, 2);
    std::u16string link;
    link.reserve(scheme.size() + mediaHost.size() + folder.size() + shelf.size() + 1 + id.size() +
                 type.size());
    link.append(scheme).append(mediaHost).append(folder).append(shelf);
    link.append(1, u'/').append(id).append(type);
    return link;
}

}  // namespace kavo
