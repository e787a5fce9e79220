#include "commands.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <vector>

#include "author_values.h"
#include "site_values.h"
#include "video_links.h"

namespace kavo {
namespace {

// Records what a command does to the window; can be told to fail at one step.
class FakeHost final : public CommandHost {
  public:
    std::u16string text;
    std::vector<std::u16string> replaced;
    std::vector<std::string> opened;
    bool failText = false, failReplace = false, failOpen = false;

    std::u16string Text() override {
        if (failText) throw std::runtime_error("text");
        return text;
    }
    void ReplaceText(std::u16string_view t) override {
        if (failReplace) throw std::bad_alloc();
        replaced.emplace_back(t);
        text = t;
    }
    struct Message {
        std::u16string text, title;
        unsigned style;
    };
    std::vector<Message> messages;
    void ShowMessage(std::u16string_view t, std::u16string_view title, unsigned style) override {
        messages.push_back({std::u16string(t), std::u16string(title), style});
    }
    void OpenAddress(std::string_view address) override {
        if (failOpen) throw std::runtime_error("open");
        opened.emplace_back(address);
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

TEST(ShowAbout, ShowsCreditAndHomePageOnTwoLinesWithTheVersionTitle) {
    FakeHost host;
    host.text = u"untouched";
    ShowAbout(host);
    ASSERT_EQ(host.messages.size(), 1u);
    const auto& m = host.messages[0];
    EXPECT_EQ(m.text, std::u16string(u"Автор: ") + std::u16string(AuthorName) + u"\r\n" +
                          std::u16string(AuthorHomePage));
    EXPECT_EQ(m.title, u"Kavo v.1.2");
    EXPECT_EQ(m.style, 64u);
    EXPECT_TRUE(host.replaced.empty());
    EXPECT_TRUE(host.opened.empty());
}

std::string Ascii(const std::u16string& s) { return std::string(s.begin(), s.end()); }

TEST(Download, OpensTheFirstSitesMediaAddressForEitherSiteAndKeepsTheText) {
    const std::string expected = Ascii(BuildMediaLink(SiteOneMediaHost, u"k3x9q2w7"));
    for (const auto& page : {Page(u"http://", SiteOneDomain, u"k3x9q2w7"),
                             Page(u"http://www.", SiteTwoDomain, u"k3x9q2w7")}) {
        FakeHost host;
        host.text = page;
        Download(host);
        EXPECT_EQ(host.opened, std::vector<std::string>{expected});
        EXPECT_TRUE(host.replaced.empty());
    }
}

TEST(Download, EncodesACraftedIdentifier) {
    FakeHost host;
    host.text = Page(u"http://", SiteOneDomain, u"ab\"-x y1");
    Download(host);
    const std::string base = Ascii(BuildMediaLink(SiteOneMediaHost, u"ab"));  // ".../s/ab/ab.flv"
    ASSERT_EQ(host.opened.size(), 1u);
    EXPECT_EQ(host.opened[0], base.substr(0, base.size() - 4) + "%22-x%20y1.flv");
}

TEST(Download, OpensNothingForOtherTextOrOnFailure) {
    for (const std::u16string& text : {std::u16string(u""), std::u16string(u"hello"),
                                       BuildMediaLink(SiteTwoMediaHost, u"k3x9q2w7")}) {
        FakeHost host;
        host.text = text;
        Download(host);
        EXPECT_TRUE(host.opened.empty());
        EXPECT_TRUE(host.replaced.empty());
    }
    FakeHost failing;
    failing.text = Page(u"http://", SiteOneDomain, u"k3x9q2w7");
    failing.failOpen = true;
    Download(failing);  // must not throw
    failing.failOpen = false;
    failing.failText = true;
    Download(failing);
    EXPECT_TRUE(failing.opened.empty());
}

}  // namespace
}  // namespace kavo
