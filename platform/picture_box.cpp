#include "platform/picture_box.h"

#include <objidl.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstring>
#include <new>
#include <utility>

#include "platform/units.h"
#include "platform/window.h"

namespace plat {

const wchar_t kPictureBoxClassName[] = L"PictureBox";

namespace {

constexpr UINT kSetPicture = WM_USER + 1;  // lParam: HBITMAP, ownership passes
constexpr UINT kGetPicture = WM_USER + 2;
constexpr UINT kSetLoader = WM_USER + 3;  // lParam: PictureLoader

// The box's picture lives behind the window's one extra pointer.
struct BoxState {
    UniqueBitmap picture;
    PictureLoader loader = nullptr;
};

// The box's state, with the picture made if it is still to come.
BoxState* StateOf(HWND hwnd) {
    auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(hwnd, 0));
    if (state && state->loader) {
        PictureLoader load = std::exchange(state->loader, nullptr);
        state->picture = load();
    }
    return state;
}

void Draw(HWND hwnd, HDC dc) {
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    BoxState* state = StateOf(hwnd);
    if (!state || !state->picture) return;
    BITMAP bm{};
    if (!GetObjectW(state->picture.get(), sizeof(bm), &bm)) return;
    UniqueMemDC mem(CreateCompatibleDC(dc));
    if (!mem) return;
    SelectObjectScope keep(mem.get(), state->picture.get());
    // Own size, from the top-left corner; the client area clips the rest.
    IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
    BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem.get(), 0, 0, SRCCOPY);
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
        return 0;
    }
    case WM_PRINTCLIENT: {
        const int saved = SaveDC(reinterpret_cast<HDC>(wParam));
        Draw(hwnd, reinterpret_cast<HDC>(wParam));
        RestoreDC(reinterpret_cast<HDC>(wParam), saved);
        return 0;
    }
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        return 0;
    case kSetPicture: {
        UniqueBitmap incoming(reinterpret_cast<HBITMAP>(lParam));
        if (auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(hwnd, 0))) {
            state->loader = nullptr;
            state->picture = std::move(incoming);
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    }
    case kSetLoader:
        if (auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(hwnd, 0))) {
            state->picture.reset();
            state->loader = reinterpret_cast<PictureLoader>(lParam);
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
    auto createStream = reinterpret_cast<CreateStreamFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(ole32.get(), "CreateStreamOnHGlobal")));
    auto loadPicture = reinterpret_cast<LoadPictureFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(oleaut32.get(), "OleLoadPicture")));
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
