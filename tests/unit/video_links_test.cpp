#include "video_links.h"

#include <gtest/gtest.h>

#include "site_values.h"

namespace kavo {
namespace {

std::u16string Cat(std::u16string_view a, std::u16string_view b, std::u16string_view c = u"") {
    std::u16string s(a);
    return s.append(b).append(c);
}

const std::u16string kPrefixes[] = {
    Cat(u"http://", SiteOneDomain, u"/play:"),
    Cat(u"http://www.", SiteOneDomain, u"/play:"),
    Cat(u"http://", SiteTwoDomain, u"/play:"),
    Cat(u"http://www.", SiteTwoDomain, u"/play:"),
};

TEST(IsVideoPageLink, EachPrefixTakesExactlyEightMoreUnits) {
    for (const auto& prefix : kPrefixes) {
        EXPECT_FALSE(IsVideoPageLink(prefix + u"k3x9q2w"));
        EXPECT_TRUE(IsVideoPageLink(prefix + u"k3x9q2w7"));
        EXPECT_FALSE(IsVideoPageLink(prefix + u"k3x9q2w7z"));
        EXPECT_FALSE(IsVideoPageLink(prefix));
    }
}

TEST(IsVideoPageLink, RejectsNearMisses) {
    const std::u16string good = kPrefixes[0] + u"k3x9q2w7";
    std::u16string upperDomain(SiteOneDomain);
    for (auto& c : upperDomain) c = (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
    const std::u16string rejected[] = {
        u"",
        Cat(u"HTTP://", SiteOneDomain, u"/play:k3x9q2w7"),
        Cat(u"http://", upperDomain, u"/play:k3x9q2w7"),
        Cat(u"https://", SiteOneDomain, u"/play:k3x9q2w"),  // same length as an accepted one
        Cat(u"http://", SiteOneDomain, u"/Play:k3x9q2w7"),
        Cat(u"http://ww.", SiteOneDomain, u"/play:k3x9q2w"),
        u" " + good,
        good + u" ",
        u"\t" + good,
        good + u"\r\n",
        good + u"?t=1",
        good + u"#top",
        BuildMediaLink(SiteTwoMediaHost, u"k3x9q2w7"),
        BuildMediaLink(SiteOneMediaHost, u"k3x9q2w7"),
    };
    for (const auto& text : rejected) {
        EXPECT_FALSE(IsVideoPageLink(text)) << std::string(text.begin(), text.end());
    }
}

TEST(IsVideoPageLink, IdentifierUnitsAreNeverExamined) {
    const std::u16string ids[] = {u"ab/cd?ef",        u"  a  b  ",   u"видеоКл",
                                  u"a\U0001F600bcde", u"\"<>|%00\"", u"\0\0\0\0\0\0\0\0"};
    for (const auto& prefix : kPrefixes) {
        for (const auto& id : ids) {
            const std::u16string text = prefix + std::u16string(id.data(), 8);
            EXPECT_TRUE(IsVideoPageLink(text));
            EXPECT_EQ(VideoIdOf(text), std::u16string(id.data(), 8));
        }
    }
}

TEST(IsVideoPageLink, LengthRuleFollowsEachPrefixOwnLength) {
    // Domains of different lengths: an address of the short site padded to the long one's length
    // must not pass, nor the reverse.
    const std::u16string shortDomain = u"a.example", longDomain = u"much-longer-name.example";
    const std::u16string shortOk = Cat(u"http://", shortDomain, u"/play:12345678");
    const std::u16string longOk = Cat(u"http://www.", longDomain, u"/play:12345678");
    EXPECT_TRUE(IsVideoPageLink(shortOk, shortDomain, longDomain));
    EXPECT_TRUE(IsVideoPageLink(longOk, shortDomain, longDomain));
    EXPECT_TRUE(IsVideoPageLink(longOk, longDomain, shortDomain));
    EXPECT_FALSE(IsVideoPageLink(shortOk + u"XXXXXXXXXXXXXXX", shortDomain, longDomain));
    EXPECT_FALSE(IsVideoPageLink(shortOk, u"b.example", longDomain));
    // One domain is a prefix of the other: each keeps its own length.
    EXPECT_TRUE(IsVideoPageLink(u"http://ab/play:12345678", u"a", u"ab"));
    EXPECT_TRUE(IsVideoPageLink(u"http://a/play:12345678", u"a", u"ab"));
    EXPECT_FALSE(IsVideoPageLink(u"http://a/play:123456789", u"a", u"ab"));
}

TEST(MediaLink, IsBuiltFromTheIdentifier) {
    struct Case {
        std::u16string_view host, id, expected;
    } cases[] = {
        {u"m.example", u"k3x9q2w7", u"http://m.example/s/k3/k3x9q2w7.flv"},
        {u"m.example", u"ab/cd?ef", u"http://m.example/s/ab/ab/cd?ef.flv"},
        {u"m.example", u"Ж\U0001F600bcde", u"http://m.example/s/Ж\xD83D/Ж\U0001F600bcde.flv"},
        {u"m.example", u"x", u"http://m.example/s/x/x.flv"},  // total on short input
        {u"m.example", u"", u"http://m.example/s//.flv"},
        {u"", u"12345678", u"http:///s/12/12345678.flv"},
    };
    for (const auto& c : cases) EXPECT_EQ(BuildMediaLink(c.host, c.id), c.expected);
}

TEST(VideoIdOf, TakesTheLastEightUnitsAndNeverReadsPastTheText) {
    EXPECT_EQ(VideoIdOf(kPrefixes[2] + u"Q1w2E3r4"), u"Q1w2E3r4");
    EXPECT_EQ(VideoIdOf(u"abc"), u"abc");
    EXPECT_EQ(VideoIdOf(u""), u"");
}

}  // namespace
}  // namespace kavo
