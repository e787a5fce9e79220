#include "drop_target.h"

#include <gtest/gtest.h>

#include <vector>

#include "offered_data.h"

namespace kavo {
namespace {

struct Box final : CommandHost {
    std::vector<std::u16string> replaced;
    std::u16string Text() override { return {}; }
    void ReplaceText(std::u16string_view text) override { replaced.emplace_back(text); }
    void OpenAddress(std::string_view) override {}
    void ShowMessage(std::u16string_view, std::u16string_view, unsigned) override {}
};

// Each row: the format and text offered, the effects allowed; the effect answered on entering,
// moving and dropping alike, and what the box was given (which text goes in is DropText's).
TEST(DropTarget, TakesTextOrALinkAsACopyAndRefusesAnythingElse) {
    const auto link = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"UniformResourceLocatorW"));
    constexpr DWORD kAny = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    const struct {
        CLIPFORMAT format;
        const wchar_t* text;
        DWORD allowed, effect;
        std::vector<std::u16string> replaced;
    } rows[] = {
        {CF_UNICODETEXT, L"http://a/", kAny, DROPEFFECT_COPY, {u"http://a/"}},
        {link, L"http://b/", kAny, DROPEFFECT_COPY, {u"http://b/"}},
        {CF_HDROP, L"C:\\a.flv", kAny, DROPEFFECT_NONE, {}},
        {CF_UNICODETEXT, L"http://a/", DROPEFFECT_MOVE, DROPEFFECT_NONE, {}},
    };
    for (const auto& row : rows) {
        OfferedData data(row.format, row.text);
        Box box;
        DropTarget target(box);
        DWORD entered = row.allowed, moved = row.allowed, dropped = row.allowed;
        EXPECT_EQ(target.DragEnter(&data, MK_LBUTTON, {}, &entered), S_OK);
        EXPECT_TRUE(target.DragOver(MK_LBUTTON, {}, &moved) == S_OK && box.replaced.empty());
        EXPECT_EQ(target.Drop(&data, 0, {}, &dropped), S_OK);
        EXPECT_EQ(std::vector({entered, moved, dropped}), std::vector(3, row.effect));
        EXPECT_EQ(box.replaced, row.replaced);
        EXPECT_EQ(data.references, 0u);
    }
}

}  // namespace
}  // namespace kavo
