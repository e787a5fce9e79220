#pragma once
// One-line owners for the handles and COM objects the window keeps, and scope guards for GDI.

#include <windows.h>
#include <objbase.h>

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

// The owner of one COM reference, for the scope that made it: neither copied nor moved.
template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    // For out-parameters: drops what it held and hands out the slot.
    T** put() {
        Reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

  private:
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    T* p_ = nullptr;
};

// COM for this thread, for as long as the program runs (WIC needs it).
class ComApartment {
  public:
    ComApartment()
        : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    HRESULT hr_;
};

}  // namespace kavo
