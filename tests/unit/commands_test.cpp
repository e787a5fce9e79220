#include "commands.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <vector>

#include "site_values.h"
#include "video_links.h"

namespace kavo {
namespace {

// Records what a command does to the window; can be told to fail at one step.
class FakeHost final : public CommandHost {
  public:
    std::u16string text;
    std::vector<std::u16string> replaced;
    bool failText = false, failReplace = false;

    std::u16string Text() override {
        if (failText) throw std::runtime_error("text");
        return text;
    }
    void ReplaceText(std::u16string_view t) override {
        if (failReplace) throw std::bad_alloc();
        replaced.emplace_back(t);
        text = t;
    }
};

std::u16string Page(std::u16string_view head, std::u16string_view domain, std::u16string_view id) {
    return std::u16string(head).append(domain).append(u"/play:").append(id);
}

TEST(GetLink, PutsTheSecondSitesMediaAddressForEitherSite) {
    const std::u16string expected = BuildMediaLink(SiteTwoMediaHost, u"k3x9q2w7");
    for (const auto& page : {Page(u"http://", SiteOneDomain, u"k3x9q2w7"),
                             Page(u"http://www.", SiteOneDomain, u"k3x9q2w7"),
                             Page(u"http://", SiteTwoDomain, u"k3x9q2w7"),
                             Page(u"http://www.", SiteTwoDomain, u"k3x9q2w7")}) {
        FakeHost host;
        host.text = page;
        GetLink(host);
        EXPECT_EQ(host.replaced, std::vector<std::u16string>{expected});
    }
}

TEST(GetLink, EmptiesTheBoxForAnythingElse) {
    for (const std::u16string& text : {std::u16string(u""), std::u16string(u"hello"),
                                       Page(u"http://", SiteOneDomain, u"k3x9q2w7 "),
                                       BuildMediaLink(SiteTwoMediaHost, u"k3x9q2w7")}) {
        FakeHost host;
        host.text = text;
        GetLink(host);
        EXPECT_EQ(host.replaced, std::vector<std::u16string>{u""});
    }
}

TEST(GetLink, SecondPressEmptiesTheBox) {
    FakeHost host;
    host.text = Page(u"http://", SiteTwoDomain, u"AbCdEfGh");
    GetLink(host);
    GetLink(host);
    ASSERT_EQ(host.replaced.size(), 2u);
    EXPECT_EQ(host.replaced[0], BuildMediaLink(SiteTwoMediaHost, u"AbCdEfGh"));
    EXPECT_EQ(host.text, u"");
}

TEST(GetLink, FailureEndsTheCommandSilently) {
    FakeHost readFails;
    readFails.text = Page(u"http://", SiteOneDomain, u"k3x9q2w7");
    readFails.failText = true;
    GetLink(readFails);  // must not throw
    EXPECT_TRUE(readFails.replaced.empty());

    FakeHost writeFails;
    writeFails.text = u"old";
    writeFails.failReplace = true;
    GetLink(writeFails);
    EXPECT_EQ(writeFails.text, u"old");
}

}  // namespace
}  // namespace kavo
