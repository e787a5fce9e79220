#pragma once
// A data object that offers a few formats, each a copy of fixed bytes in global memory, as a drag
// from another program does: the window driver's drags, and the drop target's unit test.

#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

class OfferedData final : public IDataObject {
  public:
    std::vector<std::pair<CLIPFORMAT, std::string>> offered;
    ULONG references = 0;  // its user owns it

    // Text as Windows keeps it: UTF-16 with its null.
    void OfferText(CLIPFORMAT format, const std::wstring& text) {
        offered.emplace_back(format, std::string(reinterpret_cast<const char*>(text.c_str()),
                                                 (text.size() + 1) * sizeof(wchar_t)));
    }
    // A file, as Explorer drags it: DROPFILES, then the wide path, then an empty one.
    void OfferFile(const std::wstring& path) {
        const DROPFILES files{sizeof(DROPFILES), {}, FALSE, TRUE};
        OfferText(CF_HDROP, path + L'\0');
        offered.back().second.insert(0, reinterpret_cast<const char*>(&files), sizeof files);
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = iid == IID_IUnknown || iid == IID_IDataObject ? this : nullptr;
        return *object ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        const std::string* bytes = Find(*format);
        HGLOBAL memory = bytes ? GlobalAlloc(GMEM_MOVEABLE, bytes->size()) : nullptr;
        if (!memory) return DV_E_FORMATETC;
        std::memcpy(GlobalLock(memory), bytes->data(), bytes->size());
        GlobalUnlock(memory);
        *medium = {TYMED_HGLOBAL, {.hGlobal = memory}, nullptr};
        return S_OK;
    }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        return Find(*format) ? S_OK : DV_E_FORMATETC;
    }
    // Nothing else is asked of a drag's data.
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

  private:
    const std::string* Find(const FORMATETC& format) const {
        for (const auto& [kind, bytes] : offered) {
            if (kind == format.cfFormat && (format.tymed & TYMED_HGLOBAL)) return &bytes;
        }
        return nullptr;
    }
};
