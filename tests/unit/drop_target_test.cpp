#include "drop_target.h"

#include <gtest/gtest.h>

#include <string>
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

// Each row: what the drag offers and the effects its source allows; the effect the target answers
// on entering, moving and dropping alike, and what the box was given.
TEST(DropTarget, TakesTextOrALinkAsACopyAndRefusesAnythingElse) {
    const auto link = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"UniformResourceLocatorW"));
    using Texts = std::vector<std::u16string>;
    constexpr DWORD kAny = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    const struct {
        const wchar_t *text, *link, *file;
        DWORD allowed, effect;
        Texts replaced;
    } rows[] = {
        {L"http://a/\r\nb", nullptr, nullptr, kAny, DROPEFFECT_COPY, {u"http://a/"}},
        {nullptr, L"http://b/", nullptr, kAny, DROPEFFECT_COPY, {u"http://b/"}},
        {L"text", L"http://b/", L"C:\\a.flv", kAny, DROPEFFECT_COPY, {u"text"}},
        {nullptr, nullptr, L"C:\\a.flv", kAny, DROPEFFECT_NONE, {}},
        {L"text", nullptr, nullptr, DROPEFFECT_MOVE, DROPEFFECT_NONE, {}},
    };
    for (const auto& row : rows) {
        OfferedData data;
        if (row.text) data.OfferText(CF_UNICODETEXT, row.text);
        if (row.link) data.OfferText(link, row.link);
        if (row.file) data.OfferFile(row.file);
        Box box;
        DropTarget target(box);
        DWORD entered = row.allowed, moved = row.allowed, dropped = row.allowed;
        EXPECT_EQ(target.DragEnter(&data, MK_LBUTTON, {}, &entered), S_OK);
        EXPECT_EQ(target.DragOver(MK_LBUTTON, {}, &moved), S_OK);
        EXPECT_TRUE(box.replaced.empty()) << "read before the drop";
        EXPECT_EQ(target.Drop(&data, 0, {}, &dropped), S_OK);
        EXPECT_EQ(std::vector({entered, moved, dropped}), std::vector(3, row.effect));
        EXPECT_EQ(box.replaced, row.replaced);
        EXPECT_EQ(data.references(), 0u);
    }
}

}  // namespace
}  // namespace kavo
