#pragma once
// One-line owners for the handles and COM objects the window keeps, and scope guards for GDI.

#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <memory>
#include <type_traits>

namespace kavo {

struct GdiObjectDeleter {
    void operator()(HGDIOBJ h) const noexcept { DeleteObject(h); }
};
struct MemoryDcDeleter {
    void operator()(HDC h) const noexcept { DeleteDC(h); }
};

template <class H, class Deleter>
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<H>, Deleter>;
using UniqueFont = UniqueHandle<HFONT, GdiObjectDeleter>;
using UniqueBitmap = UniqueHandle<HBITMAP, GdiObjectDeleter>;
using UniqueBrush = UniqueHandle<HBRUSH, GdiObjectDeleter>;
using UniqueMemoryDc = UniqueHandle<HDC, MemoryDcDeleter>;

// Keeps an object selected into a DC and puts the old one back.
class SelectGuard {
  public:
    SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectGuard() { SelectObject(dc_, old_); }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

  private:
    HDC dc_;
    HGDIOBJ old_;
};

class PaintGuard {
  public:
    explicit PaintGuard(HWND hwnd) : hwnd_(hwnd) { BeginPaint(hwnd_, &ps_); }
    ~PaintGuard() { EndPaint(hwnd_, &ps_); }
    PaintGuard(const PaintGuard&) = delete;
    PaintGuard& operator=(const PaintGuard&) = delete;
    HDC dc() const { return ps_.hdc; }

  private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
};

// The owner of a COM reference.
using Microsoft::WRL::ComPtr;

// OLE for this thread, for as long as the program runs: a single-threaded COM apartment (WIC
// needs COM) that takes drops.
class OleApartment {
  public:
    OleApartment() : hr_(OleInitialize(nullptr)) {}
    ~OleApartment() {
        if (SUCCEEDED(hr_)) OleUninitialize();
    }
    OleApartment(const OleApartment&) = delete;
    OleApartment& operator=(const OleApartment&) = delete;

  private:
    HRESULT hr_;
};

}  // namespace kavo
