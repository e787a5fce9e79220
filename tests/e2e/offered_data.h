#pragma once
// A data object that offers a few formats, each a copy of fixed bytes in global memory, as a drag
// from another program does: the window driver's drags, and the drop target's unit test.

#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class OfferedData final : public IDataObject {
  public:
    void Offer(CLIPFORMAT format, std::string bytes) {
        offered_.emplace_back(format, std::move(bytes));
    }
    // Text as Windows keeps it: UTF-16 with its null.
    void OfferText(CLIPFORMAT format, std::wstring_view text) {
        Offer(format, std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2) +
                          std::string(2, '\0'));
    }
    // A file, as Explorer drags it: DROPFILES, then the wide path, then an empty one.
    void OfferFile(std::wstring_view path) {
        DROPFILES files{sizeof(DROPFILES), {}, FALSE, TRUE};
        OfferText(CF_HDROP, std::wstring(path) + L'\0');
        offered_.back().second.insert(0, reinterpret_cast<const char*>(&files), sizeof files);
    }
    ULONG references() const { return references_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = iid == IID_IUnknown || iid == IID_IDataObject ? this : nullptr;
        return *object ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }  // its user owns it
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        const std::string* bytes = Find(*format);
        HGLOBAL memory = bytes ? GlobalAlloc(GMEM_MOVEABLE, bytes->size()) : nullptr;
        if (!memory) return DV_E_FORMATETC;
        std::memcpy(GlobalLock(memory), bytes->data(), bytes->size());
        GlobalUnlock(memory);
        *medium = {TYMED_HGLOBAL, {.hGlobal = memory}, nullptr};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return Find(*format) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** out) override {
        *out = nullptr;
        return OLE_E_ADVISENOTSUPPORTED;
    }

  private:
    const std::string* Find(const FORMATETC& format) const {
        for (const auto& [offered, bytes] : offered_) {
            if (offered == format.cfFormat && (format.tymed & TYMED_HGLOBAL)) return &bytes;
        }
        return nullptr;
    }
    std::vector<std::pair<CLIPFORMAT, std::string>> offered_;
    ULONG references_ = 0;
};
