#include "drop_target.h"

#include <memory>
#include <optional>
#include <string>

namespace kavo {
namespace {

bool Offers(IDataObject& data, CLIPFORMAT format) {
    FORMATETC wanted{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return data.QueryGetData(&wanted) == S_OK;
}

struct MediumReleaser {
    void operator()(STGMEDIUM* medium) const noexcept { ReleaseStgMedium(medium); }
};
struct GlobalUnlocker {
    void operator()(void* memory) const noexcept { GlobalUnlock(memory); }
};

// One format of the data as UTF-16, the whole of its memory: DropText stops at the null.
std::optional<std::u16string> TextOf(IDataObject& data, CLIPFORMAT format) {
    FORMATETC wanted{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (data.GetData(&wanted, &medium) != S_OK) return std::nullopt;
    const std::unique_ptr<STGMEDIUM, MediumReleaser> release(&medium);
    const std::unique_ptr<char16_t, GlobalUnlocker> text(
        medium.tymed == TYMED_HGLOBAL ? static_cast<char16_t*>(GlobalLock(medium.hGlobal))
                                      : nullptr);
    if (!text) return std::nullopt;
    return std::u16string(text.get(), GlobalSize(medium.hGlobal) / sizeof(char16_t));
}

}  // namespace

HRESULT DropTarget::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = iid == IID_IUnknown || iid == IID_IDropTarget ? this : nullptr;
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT DropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) {
    text_ = data && (Offers(*data, CF_UNICODETEXT) || Offers(*data, linkFormat_));
    return DragOver(keys, at, effect);
}

HRESULT DropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    *effect = text_ && (*effect & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT DropTarget::DragLeave() {
    text_ = false;
    return S_OK;
}

HRESULT DropTarget::Drop(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) {
    const HRESULT entered = DragEnter(data, keys, at, effect);
    DragLeave();
    if (entered != S_OK || *effect == DROPEFFECT_NONE) return entered;
    // No exception leaves a COM call: out of memory for a huge text, the drop does nothing.
    try {
        const std::optional<std::u16string> text = TextOf(*data, CF_UNICODETEXT),
                                            link = TextOf(*data, linkFormat_);
        if (!text && !link) *effect = DROPEFFECT_NONE;  // offered, but not handed over
        DropText(host_, text, link);
    } catch (...) {
        *effect = DROPEFFECT_NONE;
    }
    return S_OK;
}

}  // namespace kavo
