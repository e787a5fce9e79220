#include "commands.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "about_values.h"
#include "site_values.h"

namespace kavo {
namespace {

// Records what a command does to the window; can be told to fail at every step.
struct FakeHost final : CommandHost {
    std::u16string text;
    std::vector<std::u16string> replaced, messages;
    std::vector<std::string> opened;
    bool fail;

    explicit FakeHost(std::u16string_view t, bool failing = false) : text(t), fail(failing) {}

    std::u16string Text() override { return fail ? throw std::runtime_error("text") : text; }
    void ReplaceText(std::u16string_view t) override {
        if (fail) throw std::bad_alloc();
        text = replaced.emplace_back(t);
    }
    void OpenAddress(std::string_view address) override {
        if (fail) throw std::runtime_error("open");
        opened.emplace_back(address);
    }
    void ShowMessage(std::u16string_view t, std::u16string_view title, unsigned style) override {
        messages.push_back(std::u16string(t) + u"|" + std::u16string(title) + u"|" +
                           (style == 0x40 ? u"OK, information" : u"?"));
    }
};

std::u16string Cat(std::u16string_view a, std::u16string_view b, std::u16string_view c) {
    return std::u16string(a).append(b).append(c);
}
std::string Ascii(std::u16string_view s) { return std::string(s.begin(), s.end()); }

const std::u16string kPages[] = {Cat(u"http://", SiteOneDomain, u"/play:k3x9q2w7"),
                                 Cat(u"http://www.", SiteOneDomain, u"/play:k3x9q2w7"),
                                 Cat(u"http://", SiteTwoDomain, u"/play:k3x9q2w7"),
                                 Cat(u"http://www.", SiteTwoDomain, u"/play:k3x9q2w7")};
const std::u16string kOthers[] = {u"", u"hello", kPages[0] + u" ",
                                  Cat(u"http://", SiteTwoMediaHost, u"/s/k3/k3x9q2w7.flv")};

TEST(GetLink, PutsTheSecondSitesMediaAddressThenEmptiesTheBox) {
    const std::u16string media = Cat(u"http://", SiteTwoMediaHost, u"/s/k3/k3x9q2w7.flv");
    for (const auto& page : kPages) {
        FakeHost host(page);
        GetLink(host);
        GetLink(host);  // the media address is no page address
        EXPECT_EQ(host.replaced, (std::vector<std::u16string>{media, u""}));
    }
    for (const auto& other : kOthers) {
        FakeHost host(other);
        GetLink(host);
        EXPECT_EQ(host.replaced, std::vector<std::u16string>{u""});
    }
}

TEST(Download, OpensTheFirstSitesMediaAddressEncodedAndKeepsTheText) {
    const std::string media = "http://" + Ascii(SiteOneMediaHost);
    for (const auto& page : kPages) {
        FakeHost host(page);
        Download(host);
        EXPECT_EQ(host.opened, std::vector<std::string>{media + "/s/k3/k3x9q2w7.flv"});
        EXPECT_TRUE(host.replaced.empty());
    }
    FakeHost crafted(Cat(u"http://", SiteOneDomain, u"/play:ab\"-x y1"));
    Download(crafted);
    EXPECT_EQ(crafted.opened, std::vector<std::string>{media + "/s/ab/ab%22-x%20y1.flv"});
    for (const auto& other : kOthers) {
        FakeHost host(other);
        Download(host);
        EXPECT_TRUE(host.opened.empty() && host.replaced.empty());
    }
}

TEST(Commands, EndSilentlyOnAnyFailureAndTheAboutBoxShowsCreditAndVersion) {
    FakeHost host(kPages[0], true);
    GetLink(host);  // none of them may throw
    Download(host);
    ShowAbout(host);
    EXPECT_TRUE(host.opened.empty() && host.replaced.empty());
    EXPECT_EQ(host.messages, std::vector<std::u16string>{u"Автор: " + std::u16string(AuthorName) +
                                                         u"\r\n" + std::u16string(AuthorHomePage) +
                                                         u"|Kavo v.1.2|OK, information"});
}

}  // namespace
}  // namespace kavo
