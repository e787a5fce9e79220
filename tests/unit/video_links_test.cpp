#include "video_links.h"

#include <gtest/gtest.h>

#include "shell_address.h"
#include "site_values.h"

namespace kavo {
namespace {

std::u16string Cat(std::u16string_view a, std::u16string_view b, std::u16string_view c = u"") {
    return std::u16string(a).append(b).append(c);
}

TEST(IsVideoPageLink, EachPrefixTakesExactlyEightUnitsOfAnyKind) {
    const std::u16string ids[] = {u"k3x9q2w7", u"ab/cd?ef", u"  a  b  ", u"a\U0001F600bcdef",
                                  std::u16string(8, u'\0')};
    for (const auto& prefix :
         {Cat(u"http://", SiteOneDomain, u"/play:"), Cat(u"http://www.", SiteOneDomain, u"/play:"),
          Cat(u"http://", SiteTwoDomain, u"/play:"),
          Cat(u"http://www.", SiteTwoDomain, u"/play:")}) {
        EXPECT_FALSE(IsVideoPageLink(prefix + u"k3x9q2w"));
        EXPECT_FALSE(IsVideoPageLink(prefix + u"k3x9q2w7z"));
        for (const auto& id : ids) {
            EXPECT_TRUE(IsVideoPageLink(prefix + id));
            EXPECT_EQ(VideoIdOf(prefix + id), id);
        }
    }
}

TEST(IsVideoPageLink, RejectsNearMisses) {
    const std::u16string good = Cat(u"http://", SiteOneDomain, u"/play:k3x9q2w7");
    std::u16string upper(SiteOneDomain);
    for (auto& c : upper) c = (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
    for (const std::u16string& text :
         {std::u16string(), Cat(u"HTTP://", SiteOneDomain, u"/play:k3x9q2w7"),
          Cat(u"http://", upper, u"/play:k3x9q2w7"),
          Cat(u"https://", SiteOneDomain, u"/play:k3x9q2w"),  // as long as an accepted one
          Cat(u"http://", SiteTwoDomain, u"/Play:k3x9q2w7"), u" " + good, good + u"\r\n",
          good + u"?t=1", BuildMediaLink(SiteTwoMediaHost, u"k3x9q2w7")}) {
        EXPECT_FALSE(IsVideoPageLink(text)) << std::string(text.begin(), text.end());
    }
    // One domain is a prefix of the other: each keeps its own length.
    EXPECT_TRUE(IsVideoPageLink(u"http://ab/play:12345678", u"a", u"ab"));
    EXPECT_FALSE(IsVideoPageLink(u"http://a/play:123456789", u"a", u"ab"));
}

TEST(MediaLinkAndShellEncoding, AreBuiltUnitByUnit) {
    EXPECT_EQ(BuildMediaLink(u"m.example", u"ab/cd?ef"), u"http://m.example/s/ab/ab/cd?ef.flv");
    EXPECT_EQ(BuildMediaLink(u"m.example", u"x"), u"http://m.example/s/x/x.flv");  // total
    struct Case {
        std::u16string_view in;
        std::string_view out;
    } cases[] = {
        {u"/?#[]@!$&'()*+,;=:%-._~AZaz09", "/?#[]@!$&'()*+,;=:%-._~AZaz09"},
        {u"ab\"-x y1<>\\^`{|}", "ab%22-x%20y1%3C%3E%5C%5E%60%7B%7C%7D"},
        {std::u16string_view(u"\0\t\r\n\x1F\x7F", 6), "%00%09%0D%0A%1F%7F"},
        // Two, three and four bytes, and where each begins.
        {u"Ж\u07FF\u0800\u20AC\uFFFF\U00010000",
         "%D0%96%DF%BF%E0%A0%80%E2%82%AC%EF%BF%BF%F0%90%80%80"},
        {u"a\xD800z\xDC00", "a%EF%BF%BDz%EF%BF%BD"},  // lone surrogates
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeForShell(c.in), c.out);
}

}  // namespace
}  // namespace kavo
