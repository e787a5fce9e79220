#pragma once
// Recognition of video page addresses and construction of media addresses.
// Pure functions over UTF-16 text: no state, no platform calls.

#include <cstddef>
#include <string>
#include <string_view>

namespace kavo {

// Always 8 UTF-16 code units when taken from an accepted page address. A view into that address:
// building a media address then costs one allocation, not two.
using VideoId = std::u16string_view;

inline constexpr std::size_t kVideoIdLength = 8;

// True when text is "http://" or "http://www.", then one of the two domains, then "/play:",
// then exactly 8 more code units. Exact and case-sensitive: nothing is trimmed or decoded.
bool IsVideoPageLink(std::u16string_view text, std::u16string_view siteOneDomain,
                     std::u16string_view siteTwoDomain);
bool IsVideoPageLink(std::u16string_view text);  // with the built-in sites

// The last 8 code units of link (all of it when shorter); valid while link is.
VideoId VideoIdOf(std::u16string_view link);

// "http://" + mediaHost + "/s/" + id[0..2) + "/" + id + ".flv"; a shorter id gives what there is.
std::u16string BuildMediaLink(std::u16string_view mediaHost, std::u16string_view id);

}  // namespace kavo
