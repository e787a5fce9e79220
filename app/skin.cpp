#include "skin.h"

#include <commctrl.h>  // CLR_NONE
#include <wincodec.h>

namespace kavo {

namespace {

BITMAPINFO TopDownRgb(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as WIC writes rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace

UniqueBitmap LoadSkin(HINSTANCE instance, int resourceId, int width, int height) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    auto* bytes = static_cast<BYTE*>(loaded ? LockResource(loaded) : nullptr);
    if (!bytes || width <= 0 || height <= 0) return nullptr;

    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.GetAddressOf()))) ||
        FAILED(factory->CreateStream(stream.GetAddressOf())) ||
        FAILED(stream->InitializeFromMemory(bytes, SizeofResource(instance, found))) ||
        FAILED(factory->CreateDecoderFromStream(
            stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.GetAddressOf())) ||
        FAILED(decoder->GetFrame(0, frame.GetAddressOf()))) {
        return nullptr;
    }

    // A scaler only when the sizes differ, a converter only when the decoder's pixels are not
    // already the DIB's: at 96 DPI the JPEG's rows are copied straight into the bitmap.
    const auto width_u = static_cast<UINT>(width), height_u = static_cast<UINT>(height);
    UINT w = 0, h = 0;
    ComPtr<IWICBitmapScaler> scaler;
    IWICBitmapSource* source = frame.Get();
    if (FAILED(frame->GetSize(&w, &h))) return nullptr;
    if (w != width_u || h != height_u) {
        if (FAILED(factory->CreateBitmapScaler(scaler.GetAddressOf())) ||
            FAILED(scaler->Initialize(frame.Get(), width_u, height_u,
                                      WICBitmapInterpolationModeFant))) {
            return nullptr;
        }
        source = scaler.Get();
    }
    WICPixelFormatGUID format{};
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(source->GetPixelFormat(&format))) return nullptr;
    if (format != GUID_WICPixelFormat24bppBGR) {
        if (FAILED(factory->CreateFormatConverter(converter.GetAddressOf())) ||
            FAILED(converter->Initialize(source, GUID_WICPixelFormat24bppBGR,
                                         WICBitmapDitherTypeNone, nullptr, 0.0,
                                         WICBitmapPaletteTypeCustom))) {
            return nullptr;
        }
        source = converter.Get();
    }

    const BITMAPINFO info = TopDownRgb(width, height);
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const UINT stride = (width_u * 3 + 3) & ~3u;  // DIB rows are DWORD-aligned
    if (!bitmap ||
        FAILED(source->CopyPixels(nullptr, stride, stride * height_u, static_cast<BYTE*>(bits)))) {
        return nullptr;
    }
    return bitmap;
}

UniqueBitmap PlainPanel(int width, int height, COLORREF panel, COLORREF edge) {
    const BITMAPINFO info = TopDownRgb(width, height);
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!bitmap || !dc) return nullptr;
    SelectGuard select(dc.get(), bitmap.get());
    RECT all{0, 0, width, height};
    SetDCBrushColor(dc.get(), panel);
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    if (edge != CLR_NONE) {
        SetDCBrushColor(dc.get(), edge);
        FrameRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
    return bitmap;
}

}  // namespace kavo
