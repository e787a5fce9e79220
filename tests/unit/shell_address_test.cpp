#include "shell_address.h"

#include <gtest/gtest.h>

namespace kavo {
namespace {

TEST(EncodeForShell, LeavesAnOrdinaryAddressAlone) {
    const std::u16string_view plain = u"http://m.example/s/k3/k3x9q2w7.flv";
    EXPECT_EQ(EncodeForShell(plain), "http://m.example/s/k3/k3x9q2w7.flv");
    // Reserved and unreserved characters a URI may hold pass unchanged, '%' too.
    EXPECT_EQ(EncodeForShell(u"/?#[]@!$&'()*+,;=:%-._~AZaz09"), "/?#[]@!$&'()*+,;=:%-._~AZaz09");
}

TEST(EncodeForShell, EscapesWhatNoUriMayHold) {
    struct Case {
        std::u16string_view in;
        std::string_view out;
    } cases[] = {
        {u"ab\"-x y1", "ab%22-x%20y1"},
        {u"<>\\^`{|}", "%3C%3E%5C%5E%60%7B%7C%7D"},
        {std::u16string_view(u"\0\t\r\n\x1F\x7F", 6), "%00%09%0D%0A%1F%7F"},
        {u"Ж", "%D0%96"},                         // two UTF-8 bytes
        {u"\u00E9\u20AC", "%C3%A9%E2%82%AC"},     // two and three
        {u"\U0001F600", "%F0%9F%98%80"},          // a surrogate pair is one character
        {u"a\xD800z", "a%EF%BF%BDz"},             // lone high surrogate
        {u"\xDC00", "%EF%BF%BD"},                 // lone low surrogate
        {u"\xD83D", "%EF%BF%BD"},                 // high surrogate at the very end
        {u"\xDC00\xD800", "%EF%BF%BD%EF%BF%BD"},  // reversed pair
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeForShell(c.in), c.out);
}

}  // namespace
}  // namespace kavo
