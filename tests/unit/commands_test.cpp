#include "commands.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>
#include <vector>

#include "about_values.h"
#include "site_values.h"

namespace kavo {
namespace {

// Records what a command does to the window, and in which order; can be told to fail at a step.
struct FakeHost final : CommandHost {
    std::u16string text;
    std::vector<std::u16string> replaced;
    std::vector<std::tuple<std::u16string, std::u16string, unsigned>> messages;
    std::vector<std::string> opened, steps;
    std::string failAt;

    explicit FakeHost(std::u16string_view t, std::string_view failing = {})
        : text(t), failAt(failing) {}

    template <class Log>
    Log& Step(const char* name, Log& log) {
        steps.emplace_back(name);
        if (failAt == name) throw std::runtime_error(name);
        return log;
    }
    std::u16string Text() override { return Step("Text", text); }
    void ReplaceText(std::u16string_view t) override {
        text = Step("ReplaceText", replaced).emplace_back(t);
    }
    void OpenAddress(std::string_view address) override {
        Step("OpenAddress", opened).emplace_back(address);
    }
    void ShowMessage(std::u16string_view t, std::u16string_view title, unsigned style) override {
        Step("ShowMessage", messages).emplace_back(t, title, style);
    }
};

std::u16string Cat(std::u16string_view a, std::u16string_view b, std::u16string_view c) {
    return std::u16string(a).append(b).append(c);
}
std::string Ascii(std::u16string_view s) { return std::string(s.begin(), s.end()); }

const std::u16string kPage = Cat(u"http://", SiteOneDomain, u"/play:k3x9q2w7");

// Each row: the box's text; what "Свали" opens, leaving the text be; what "Вземи" then puts there.
TEST(Commands, GetAndDownloadBuildTheirOwnSitesMediaAddressForEitherSite) {
    const std::u16string get = Cat(u"http://", SiteTwoMediaHost, u"/s/k3/k3x9q2w7.flv");
    const std::string open = "http://" + Ascii(SiteOneMediaHost) + "/s/k3/k3x9q2w7.flv";
    const struct {
        std::u16string text;
        std::vector<std::string> opened;
        std::u16string got;
    } rows[] = {
        {Cat(u"http://www.", SiteTwoDomain, u"/play:k3x9q2w7"), {open}, get},
        {Cat(u"http://", SiteOneDomain, u"/play:ab\"-x y1"),
         {"http://" + Ascii(SiteOneMediaHost) + "/s/ab/ab%22-x%20y1.flv"},
         Cat(u"http://", SiteTwoMediaHost, u"/s/ab/ab\"-x y1.flv")},
        {kPage + u" ", {}, u""},
        {get, {}, u""},  // a second press of "Вземи" empties the box
    };
    for (const auto& row : rows) {
        FakeHost host(row.text);
        Download(host);
        GetLink(host);
        EXPECT_EQ(host.opened, row.opened) << Ascii(row.text);
        EXPECT_EQ(host.replaced, std::vector{row.got}) << Ascii(row.text);
    }
}

// Each row: a command, the host's failing step, the steps taken; nothing escapes (noexcept aborts).
TEST(Commands, EndSilentlyWhereTheHostFailsAndLeaveTheWindowAsItWas) {
    const struct {
        void (*command)(CommandHost&) noexcept;
        const char* failAt;
        std::vector<std::string> steps;
    } rows[] = {
        {GetLink, "Text", {"Text"}},
        {GetLink, "ReplaceText", {"Text", "ReplaceText"}},
        {Download, "Text", {"Text"}},
        {Download, "OpenAddress", {"Text", "OpenAddress"}},
        {ShowAbout, "ShowMessage", {"ShowMessage"}},
        {[](CommandHost& h) noexcept { DropText(h, kPage, {}); }, "ReplaceText", {"ReplaceText"}},
    };
    for (const auto& row : rows) {
        FakeHost host(kPage, row.failAt);
        row.command(host);
        EXPECT_EQ(host.steps, row.steps) << row.failAt;
        EXPECT_TRUE(host.replaced.empty() && host.opened.empty() && host.messages.empty());
    }
}

// Each row: the plain text and the link a drag offers; what the drop puts in the box, all it does.
TEST(Commands, DropTakesTheFirstLineOfTheTextOrElseOfTheLink) {
    const struct {
        std::optional<std::u16string> text, link;
        std::vector<std::u16string> replaced;
    } rows[] = {
        {{}, kPage, {kPage}},
        {u"text", u"link", {u"text"}},
        {std::u16string(1, u'\0'), u"link", {u"link"}},
        {kPage + u"\r\nnext", {}, {kPage}},
        {{}, kPage + u"\nnext", {kPage}},
        {kPage + std::u16string(1, u'\0') + u"junk", {}, {kPage}},
        {{}, {}, {}},
    };
    for (const auto& row : rows) {
        FakeHost host(u"old");
        DropText(host, row.text, row.link);
        EXPECT_EQ(host.replaced, row.replaced) << Ascii(row.text.value_or(u"-"));
        EXPECT_EQ(host.steps.size(), row.replaced.size());
    }
}

// The credit, then the home page; the title as built; MB_OK | MB_ICONINFORMATION.
TEST(Commands, AboutBoxShowsTheCreditThenTheHomePage) {
    FakeHost host(kPage);
    ShowAbout(host);
    const std::u16string text =
        Cat(u"Автор: ", AuthorName, u"\r\n") + std::u16string(AuthorHomePage);
    EXPECT_EQ(host.messages, (std::vector{std::tuple(text, std::u16string(AboutTitle), 0x40u)}));
}

}  // namespace
}  // namespace kavo
