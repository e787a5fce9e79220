// The pure code: the addresses, the commands, and the drag's rule between screens from app/.

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "about_values.h"
#include "commands.h"
#include "drag_across_screens.h"
#include "shell_address.h"
#include "site_values.h"
#include "video_links.h"

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

    // Takes a step, or fails there; returns where the step's effect goes.
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

std::u16string Cat(std::u16string_view a, std::u16string_view b, std::u16string_view c = u"") {
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

// Each row: a command, the step at which the host fails, the steps taken up to and including it.
// No step follows the failure, and nothing escapes the command (noexcept: that would abort).
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

// Each row: the plain text and the link a drag offers; what the drop puts in the box, which is all
// it does (a command run would show in the steps).
TEST(Commands, DropTakesTheFirstLineOfTheTextOrElseOfTheLink) {
    const struct {
        std::optional<std::u16string> text, link;
        std::vector<std::u16string> replaced;
    } rows[] = {
        {{}, kPage, {kPage}},
        {u"text", u"link", {u"text"}},
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

// Two lines, the credit first; the title as built, one OK button (MB_OK | MB_ICONINFORMATION) and
// the information icon. The end-to-end test reads the values themselves from the window.
TEST(Commands, AboutBoxShowsTheCreditThenTheHomePage) {
    FakeHost host(kPage);
    ShowAbout(host);
    const std::u16string text =
        Cat(u"Автор: ", AuthorName, u"\r\n") + std::u16string(AuthorHomePage);
    EXPECT_EQ(host.messages, (std::vector{std::tuple(text, std::u16string(AboutTitle), 0x40u)}));
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
    std::u16string upper(SiteOneDomain);
    for (auto& c : upper) c = (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
    for (const std::u16string& text :
         {std::u16string(), Cat(u"HTTP://", SiteOneDomain, u"/play:k3x9q2w7"),
          Cat(u"http://", upper, u"/play:k3x9q2w7"),
          Cat(u"https://", SiteOneDomain, u"/play:k3x9q2w"),  // as long as an accepted one
          Cat(u"http://", SiteTwoDomain, u"/Play:k3x9q2w7"), u" " + kPage, kPage + u"\r\n",
          kPage + u"?t=1", BuildMediaLink(SiteTwoMediaHost, u"k3x9q2w7")}) {
        EXPECT_FALSE(IsVideoPageLink(text)) << Ascii(text);
    }
    // One domain is a prefix of the other: each keeps its own length.
    EXPECT_TRUE(IsVideoPageLink(u"http://ab/play:12345678", u"a", u"ab"));
    EXPECT_FALSE(IsVideoPageLink(u"http://a/play:123456789", u"a", u"ab"));
}

TEST(MediaLinkAndShellEncoding, AreBuiltUnitByUnit) {
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

int Scaled(int value, int to, int from) { return (value * to + from / 2) / from; }  // MulDiv
long long Area(const ScreenRect& a, const ScreenRect& b) {
    return 1LL * std::max(0, std::min(a.right, b.right) - std::max(a.left, b.left)) *
           std::max(0, std::min(a.bottom, b.bottom) - std::max(a.top, b.top));
}

// Kavo's window (249 x 105 at 96 DPI), gripped quarters/4 of its size in, dragged a pixel at a time
// from a 1920 x 1080 screen at the first DPI onto a 2560 x 1440 one below or beside it at the
// second, or back. Each move places it by the rule; the system gives it the DPI of the screen that
// holds most of it; when that changes, the window takes its size there and the grip scales.
// Returns the DPI changes, or -1 if a move left it on another screen than the pointer's.
int DpiChanges(bool down, bool back, std::pair<int, int> dpi, int quarters) {
    const ScreenRect screens[] = {
        {0, 0, 1920, 1080},
        down ? ScreenRect{0, 1080, 2560, 2520} : ScreenRect{1920, 0, 4480, 1440}};
    const int dpis[] = {dpi.first, dpi.second};
    const auto largest = [&](const ScreenRect& r) {
        return Area(r, screens[1]) > Area(r, screens[0]);
    };
    int held = back, changes = 0;  // held: the screen whose DPI the window has
    ScreenPoint grip{Scaled(249 * quarters / 4, dpis[held], 96),
                     Scaled(105 * quarters / 4, dpis[held], 96)};
    const int edge = down ? 1080 : 1920, step = back ? -1 : 1;
    for (int along = edge - 600 * step; along != edge + 600 * step; along += step) {
        const int x = down ? 500 : along, y = down ? along : 500, under = along >= edge;
        const int w = Scaled(249, dpis[held], 96), h = Scaled(105, dpis[held], 96);
        const ScreenRect proposed{x - grip.x, y - grip.y, x - grip.x + w, y - grip.y + h};
        const ScreenPoint at =
            KeepOnPointersScreen(proposed, screens[under], screens[largest(proposed)]);
        if (const int now = largest({at.x, at.y, at.x + w, at.y + h}); now != held) {
            grip = {Scaled(grip.x, dpis[now], dpis[held]), Scaled(grip.y, dpis[now], dpis[held])};
            held = now;
            ++changes;
        }
        if (held != under) return -1;
    }
    return changes;
}

TEST(DragAcrossScreens, TheDpiChangesOncePerCrossingWhereverTheWindowIsGripped) {
    // Gripped a quarter in, the window trails the pointer one way and leads it the other; three
    // quarters in, the other way round. Across and down, each way, at 100, 150 and 200 %.
    for (const bool down : {false, true}) {
        for (const bool back : {false, true}) {
            for (const auto& dpi :
                 {std::pair{96, 192}, {192, 96}, {96, 144}, {144, 96}, {144, 192}, {192, 144}}) {
                for (const int grip : {1, 3}) {
                    EXPECT_EQ(DpiChanges(down, back, dpi, grip), 1)
                        << (down ? "down" : "across") << (back ? ", back" : "") << ", " << dpi.first
                        << " and " << dpi.second << " DPI, grip " << grip << "/4";
                }
            }
        }
    }
    // On one screen the window follows the pointer, past the desktop's edge too.
    constexpr ScreenRect kScreen{0, 0, 1920, 1080};
    const ScreenPoint at = KeepOnPointersScreen({-200, -90, 49, 15}, kScreen, kScreen);
    EXPECT_EQ(std::pair(at.x, at.y), std::pair(-200, -90));
}

}  // namespace
}  // namespace kavo
