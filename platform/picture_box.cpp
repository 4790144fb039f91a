#include "platform/picture_box.h"

#include <objidl.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstring>
#include <vector>
#include <new>
#include <utility>

#include "platform/dpi.h"
#include "platform/library.h"
#include "platform/units.h"
#include "platform/window.h"

namespace plat {

const wchar_t kPictureBoxClassName[] = L"PictureBox";

namespace {

constexpr UINT kSetPicture = WM_USER + 1;  // lParam: HBITMAP, ownership passes
constexpr UINT kGetPicture = WM_USER + 2;
constexpr UINT kSetLoader = WM_USER + 3;  // lParam: PictureLoader
constexpr UINT kSetLargeLoader = WM_USER + 4;  // lParam: PictureLoader

// The box's picture lives behind the window's one extra pointer.
struct BoxState {
    UniqueBitmap picture;
    PictureLoader loader = nullptr;
    UniqueBitmap large;  // the picture at twice its size, when there is one
    PictureLoader largeLoader = nullptr;
    UniqueBitmap scaled;  // what is shown at scaledDpi
    int scaledDpi = 0;
};

UniqueBitmap& Loaded(UniqueBitmap& bitmap, PictureLoader& loader) {
    if (loader) bitmap = std::exchange(loader, nullptr)();
    return bitmap;
}

// The box's state, with the picture made if it is still to come.
BoxState* StateOf(HWND hwnd) {
    auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(hwnd, 0));
    if (state) Loaded(state->picture, state->loader);
    return state;
}

SIZE SizeOf(HBITMAP bitmap) {
    BITMAP bm{};
    if (!bitmap || !GetObjectW(bitmap, sizeof(bm), &bm)) return {0, 0};
    return {bm.bmWidth, bm.bmHeight};
}

// The picture as it is shown at a DPI: itself at 96, else made from the
// largest rendering there is.
HBITMAP ShownPicture(BoxState* state, int dpi) {
    if (dpi == kDesignDpi || (!state->large && !state->largeLoader)) {
        HBITMAP picture = Loaded(state->picture, state->loader).get();
        if (dpi == kDesignDpi || !picture) return picture;
    }
    if (state->scaled && state->scaledDpi == dpi) return state->scaled.get();
    HBITMAP source = Loaded(state->large, state->largeLoader).get();
    SIZE size = SizeOf(source);
    size = {size.cx / 2, size.cy / 2};
    if (!source) {
        source = Loaded(state->picture, state->loader).get();
        size = SizeOf(source);
    }
    if (!source) return nullptr;
    state->scaled = ResamplePicture(source, MulDiv(size.cx, dpi, kDesignDpi), MulDiv(size.cy, dpi, kDesignDpi));
    state->scaledDpi = dpi;
    return state->scaled.get();
}

void Draw(HWND hwnd, HDC dc) {
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(hwnd, 0));
    HBITMAP picture = state ? ShownPicture(state, LayoutDpiOf(hwnd)) : nullptr;
    const SIZE size = SizeOf(picture);
    if (!size.cx) return;
    UniqueMemDC mem(CreateCompatibleDC(dc));
    if (!mem) return;
    SelectObjectScope keep(mem.get(), picture);
    // Own size, from the top-left corner; the client area clips the rest.
    IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
    BitBlt(dc, 0, 0, size.cx, size.cy, mem.get(), 0, 0, SRCCOPY);
}

// A tab stop shows where the keyboard is: a focus rectangle on the picture.
void DrawFocus(HWND hwnd, HDC dc) {
    if (GetFocus() != hwnd) return;
    RECT client;
    GetClientRect(hwnd, &client);
    DrawFocusRect(dc, &client);
}

LRESULT CALLBACK PictureBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE:
        SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(new (std::nothrow) BoxState()));
        if (!StateOf(hwnd)) return FALSE;
        break;
    case WM_NCDESTROY:
        delete reinterpret_cast<BoxState*>(GetWindowLongPtrW(hwnd, 0));
        SetWindowLongPtrW(hwnd, 0, 0);
        break;
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT fills everything
    case WM_PAINT: {
        PaintDC dc(hwnd);
        Draw(hwnd, dc.get());
        DrawFocus(hwnd, dc.get());
        return 0;
    }
    case WM_PRINTCLIENT: {
        const int saved = SaveDC(reinterpret_cast<HDC>(wParam));
        Draw(hwnd, reinterpret_cast<HDC>(wParam));
        RestoreDC(reinterpret_cast<HDC>(wParam), saved);
        DrawFocus(hwnd, reinterpret_cast<HDC>(wParam));
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, FALSE);
        break;
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        return 0;
    case kSetPicture: {
        UniqueBitmap incoming(reinterpret_cast<HBITMAP>(lParam));
        if (auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(hwnd, 0))) {
            state->loader = nullptr;
            state->picture = std::move(incoming);
            // A picture set from code is shown by itself.
            state->large.reset();
            state->largeLoader = nullptr;
            state->scaled.reset();
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    }
    case kSetLoader:
    case kSetLargeLoader:
        if (auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(hwnd, 0))) {
            const bool large = msg == kSetLargeLoader;
            (large ? state->large : state->picture).reset();
            (large ? state->largeLoader : state->loader) = reinterpret_cast<PictureLoader>(lParam);
            state->scaled.reset();
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case kGetPicture: {
        BoxState* state = StateOf(hwnd);
        return reinterpret_cast<LRESULT>(state ? state->picture.get() : nullptr);
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

HWND CreatePictureBox(HWND parent, const Placement& twips, DWORD exStyle, int id) {
    if (!EnsureWindowClass(kPictureBoxClassName, PictureBoxProc, 0, sizeof(BoxState*))) return nullptr;
    return CreateControl(parent, kPictureBoxClassName, L"", WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, exStyle, twips,
                         id);
}

void SetPicture(HWND box, UniqueBitmap picture) {
    HBITMAP h = picture.release();
    if (!box || !IsWindow(box)) {
        UniqueBitmap drop(h);
        return;
    }
    SendMessageW(box, kSetPicture, 0, reinterpret_cast<LPARAM>(h));
}

void SetPictureLoader(HWND box, PictureLoader loader) {
    if (box) SendMessageW(box, kSetLoader, 0, reinterpret_cast<LPARAM>(loader));
}

void SetLargePictureLoader(HWND box, PictureLoader loader) {
    if (box) SendMessageW(box, kSetLargeLoader, 0, reinterpret_cast<LPARAM>(loader));
}

HBITMAP PictureOf(HWND box) { return reinterpret_cast<HBITMAP>(SendMessageW(box, kGetPicture, 0, 0)); }

UniqueBitmap DecodePicture(const void* data, size_t size) {
    if (!data || size == 0 || size > 0x7fffffff) return {};
    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!memory) return {};
    void* dst = GlobalLock(memory.get());
    if (!dst) return {};
    std::memcpy(dst, data, size);
    GlobalUnlock(memory.get());

    // The picture loader is bound when a picture is decoded, not at program
    // start: the OLE libraries take a noticeable share of a start-up.
    using CreateStreamFn = HRESULT(WINAPI*)(HGLOBAL, BOOL, IStream**);
    using LoadPictureFn = HRESULT(WINAPI*)(IStream*, LONG, BOOL, REFIID, void**);
    UniqueModule ole32(LoadLibraryW(L"ole32.dll"));
    UniqueModule oleaut32(LoadLibraryW(L"oleaut32.dll"));
    if (!ole32 || !oleaut32) return {};
    auto createStream = LibraryFunction<CreateStreamFn>(ole32.get(), "CreateStreamOnHGlobal");
    auto loadPicture = LibraryFunction<LoadPictureFn>(oleaut32.get(), "OleLoadPicture");
    if (!createStream || !loadPicture) return {};

    ComRef<IStream> stream;
    // The stream does not free the memory; `memory` does, after the stream.
    if (FAILED(createStream(memory.get(), FALSE, stream.put()))) return {};
    ComRef<IPicture> picture;
    if (FAILED(loadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                           reinterpret_cast<void**>(picture.put()))))
        return {};
    SHORT type = PICTYPE_NONE;
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(picture->get_Handle(&handle)) ||
        !handle)
        return {};
    // The picture object owns its bitmap: keep a copy of our own.
    HANDLE copy = CopyImage(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), IMAGE_BITMAP, 0, 0,
                            LR_CREATEDIBSECTION);
    return UniqueBitmap(static_cast<HBITMAP>(copy));
}

UniqueBitmap LoadPictureResource(HMODULE module, int id) {
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (!info) return {};
    HGLOBAL loaded = LoadResource(module, info);  // not freed: part of the mapped module
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return {};
    return DecodePicture(bytes, SizeofResource(module, info));
}

}  // namespace plat

namespace plat {
namespace {

// For each target pixel along one axis, the source pixels it covers and how
// much of each: a box filter of the target pixel's width.
struct Tap {
    int first;
    std::vector<float> weights;
};

std::vector<Tap> Taps(int source, int target) {
    std::vector<Tap> taps(static_cast<size_t>(target));
    const double step = static_cast<double>(source) / target;
    for (int i = 0; i < target; ++i) {
        const double begin = i * step, end = begin + step;
        Tap& tap = taps[static_cast<size_t>(i)];
        tap.first = static_cast<int>(begin);
        for (int s = tap.first; s < source && s < end; ++s) {
            const double cover = (s + 1 < end ? s + 1 : end) - (s > begin ? s : begin);
            tap.weights.push_back(static_cast<float>(cover / step));
        }
    }
    return taps;
}

}  // namespace

UniqueBitmap ResamplePicture(HBITMAP source, int width, int height) {
    BITMAP bm{};
    if (!source || width <= 0 || height <= 0 || !GetObjectW(source, sizeof(bm), &bm) || bm.bmWidth <= 0 ||
        bm.bmHeight <= 0)
        return {};
    const int sw = bm.bmWidth, sh = bm.bmHeight;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), sw, -sh, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<unsigned char> in(static_cast<size_t>(sw) * sh * 4);
    {
        UniqueMemDC dc(CreateCompatibleDC(nullptr));
        if (!dc || GetDIBits(dc.get(), source, 0, static_cast<UINT>(sh), in.data(), &info, DIB_RGB_COLORS) != sh)
            return {};
    }
    // Rows first, into floats; then columns, into the target.
    const std::vector<Tap> across = Taps(sw, width), down = Taps(sh, height);
    std::vector<float> rows(static_cast<size_t>(width) * sh * 3);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < width; ++x) {
            const Tap& tap = across[static_cast<size_t>(x)];
            float sum[3] = {};
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const unsigned char* p = &in[(static_cast<size_t>(y) * sw + tap.first + k) * 4];
                for (int c = 0; c < 3; ++c) sum[c] += tap.weights[k] * p[c];
            }
            for (int c = 0; c < 3; ++c) rows[(static_cast<size_t>(y) * width + x) * 3 + c] = sum[c];
        }
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    void* bits = nullptr;
    UniqueBitmap out(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!out || !bits) return {};
    auto* dst = static_cast<unsigned char*>(bits);
    for (int y = 0; y < height; ++y) {
        const Tap& tap = down[static_cast<size_t>(y)];
        for (int x = 0; x < width; ++x) {
            float sum[3] = {};
            for (size_t k = 0; k < tap.weights.size(); ++k)
                for (int c = 0; c < 3; ++c)
                    sum[c] += tap.weights[k] * rows[((tap.first + k) * static_cast<size_t>(width) + x) * 3 + c];
            unsigned char* p = &dst[(static_cast<size_t>(y) * width + x) * 4];
            for (int c = 0; c < 3; ++c) p[c] = static_cast<unsigned char>(sum[c] + 0.5f > 255.f ? 255.f : sum[c] + 0.5f);
            p[3] = 0;
        }
    }
    GdiFlush();
    return out;
}

}  // namespace plat
