// Baselines for Kavo's start-up and memory figures: the least a Win32 program can do to show a
// 249 x 105 popup (KAVO_BENCH_LEVEL 0), the same with Kavo's manifest and five controls (1), that
// with Kavo's JPEG decoded with WIC and drawn under them (2), and that taking drops (3): a window
// that takes drops registers a drop target with OLE, whatever the target does.

#include <windows.h>
#include <commctrl.h>
#include <wincodec.h>

#include <initializer_list>

namespace {

#if KAVO_BENCH_LEVEL >= 2
HBITMAP DecodePicture(HINSTANCE instance) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(10));
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), 249, -105, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromMemory(
            static_cast<BYTE*>(LockResource(LoadResource(instance, found))),
            SizeofResource(instance, found))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                                   &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame))) {
        frame->CopyPixels(nullptr, 748, 748 * 105, static_cast<BYTE*>(bits));
    }
    for (IUnknown* object : {static_cast<IUnknown*>(frame), static_cast<IUnknown*>(decoder),
                             static_cast<IUnknown*>(stream), static_cast<IUnknown*>(factory)}) {
        if (object) object->Release();
    }
    return bitmap;
}
#endif

#if KAVO_BENCH_LEVEL >= 3
// Refuses every drop: what is measured is the registration.
struct RefusingDropTarget final : IDropTarget {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IDropTarget ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
};
#endif

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto picture = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_PAINT && picture) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, picture);
        BitBlt(dc, 0, 0, 249, 105, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        EndPaint(hwnd, &paint);
        return 0;
    }
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"Baseline";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, L"Baseline", L"Baseline", WS_POPUP, 100, 100, 249, 105, nullptr,
                                nullptr, instance, nullptr);
#if KAVO_BENCH_LEVEL >= 1
    InitCommonControls();
    struct Control {
        const wchar_t *type, *text;
        int x, y, w, h;
    };
    for (const Control& c :
         {Control{L"EDIT", L"", 16, 45, 209, 19}, Control{L"BUTTON", L"Свали", 160, 65, 61, 20},
          Control{L"BUTTON", L"Вземи", 96, 65, 57, 20},
          Control{L"BUTTON", L"За...", 32, 65, 57, 20}, Control{L"STATIC", L"X", 232, 0, 10, 15}}) {
        HWND control = CreateWindowExW(0, c.type, c.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP, c.x,
                                       c.y, c.w, c.h, hwnd, nullptr, instance, nullptr);
        SendMessageW(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    }
#endif
#if KAVO_BENCH_LEVEL >= 3
    OleInitialize(nullptr);
    RefusingDropTarget target;
    RegisterDragDrop(hwnd, &target);
#elif KAVO_BENCH_LEVEL >= 2
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
#endif
#if KAVO_BENCH_LEVEL >= 2
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(DecodePicture(instance)));
#endif
    ShowWindow(hwnd, SW_SHOWNORMAL);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(hwnd, &msg)) DispatchMessageW(&msg);
    }
    return 0;
}
