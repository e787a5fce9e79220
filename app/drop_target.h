#pragma once
// DropTarget: the window's side of OLE drag and drop. Text dragged onto any part of the window (an
// address from a browser's address bar, a link from a page) goes to DropText; anything else is
// refused.

#include <ole2.h>

#include "commands.h"

namespace kavo {

class DropTarget final : public IDropTarget {
  public:
    explicit DropTarget(CommandHost& host)
        : host_(host),
          linkFormat_(
              static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"UniformResourceLocatorW"))) {}
    DropTarget(const DropTarget&) = delete;
    DropTarget& operator=(const DropTarget&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    // Its owner keeps it, and revokes and disconnects it before it goes: OLE's references are
    // counted but end nothing.
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }

    // The effect is a copy while text is over the window, none for anything else.
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL at,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL at, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    // Reads the data only now, and hands it to DropText.
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL at,
                                   DWORD* effect) override;

  private:
    CommandHost& host_;
    CLIPFORMAT linkFormat_;
    ULONG references_ = 0;
    bool text_ = false;  // what is over the window is text
};

}  // namespace kavo
