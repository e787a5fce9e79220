#pragma once
// A data object that offers one format, a copy of fixed bytes in global memory each time, as a drag
// from another program does: the window driver's drags, and the drop target's unit test.

#include <ole2.h>

#include <cstring>
#include <string>

class OfferedData final : public IDataObject {
  public:
    // UTF-16 text with its null; for CF_HDROP a path (not a DROPFILES: only the format is read).
    OfferedData(CLIPFORMAT format, const std::wstring& text)
        : format_(format),
          bytes_(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t)) {
    }
    ULONG references = 0;  // its user owns it

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = iid == IID_IUnknown || iid == IID_IDataObject ? this : nullptr;
        return *object ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        HGLOBAL memory =
            QueryGetData(format) == S_OK ? GlobalAlloc(GMEM_MOVEABLE, bytes_.size()) : nullptr;
        if (!memory) return DV_E_FORMATETC;
        std::memcpy(GlobalLock(memory), bytes_.data(), bytes_.size());
        GlobalUnlock(memory);
        *medium = {TYMED_HGLOBAL, {.hGlobal = memory}, nullptr};
        return S_OK;
    }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        return format->cfFormat == format_ && (format->tymed & TYMED_HGLOBAL) ? S_OK
                                                                              : DV_E_FORMATETC;
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
    CLIPFORMAT format_;
    std::string bytes_;
};
