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

const std::u16string kPage = Cat(u"http://", SiteOneDomain, u"/play:k3x9q2w7");

// Each row: the box's text; what "Вземи" pressed twice leaves in it; what "Свали" opens.
TEST(Commands, GetAndDownloadBuildTheirOwnSitesMediaAddressForEitherSite) {
    const std::u16string get = Cat(u"http://", SiteTwoMediaHost, u"/s/k3/k3x9q2w7.flv");
    const std::string open = "http://" + Ascii(SiteOneMediaHost) + "/s/k3/k3x9q2w7.flv";
    using Texts = std::vector<std::u16string>;
    using Opened = std::vector<std::string>;
    const struct {
        std::u16string text;
        Texts replaced;
        Opened opened;
    } rows[] = {
        {kPage, {get, u""}, {open}},
        {Cat(u"http://www.", SiteTwoDomain, u"/play:k3x9q2w7"), {get, u""}, {open}},
        {Cat(u"http://", SiteOneDomain, u"/play:ab\"-x y1"),
         {Cat(u"http://", SiteTwoMediaHost, u"/s/ab/ab\"-x y1.flv"), u""},
         {"http://" + Ascii(SiteOneMediaHost) + "/s/ab/ab%22-x%20y1.flv"}},
        {u"", {u"", u""}, {}},
        {u"hello", {u"", u""}, {}},
        {kPage + u" ", {u"", u""}, {}},
        {get, {u"", u""}, {}},
    };
    for (const auto& row : rows) {
        FakeHost download(row.text);
        Download(download);
        EXPECT_EQ(download.opened, row.opened) << Ascii(row.text);
        EXPECT_TRUE(download.replaced.empty());
        FakeHost host(row.text);
        GetLink(host);
        GetLink(host);
        EXPECT_EQ(host.replaced, row.replaced) << Ascii(row.text);
    }
}

TEST(Commands, EndSilentlyOnAnyFailureAndTheAboutBoxShowsCreditAndVersion) {
    FakeHost host(kPage, true);
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
