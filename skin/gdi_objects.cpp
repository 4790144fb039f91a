#include "skin/gdi_objects.h"

namespace skin::gdi {

namespace {

Counts g_counts{};

template <typename T>
T Counted(T h) {
    if (h) ++g_counts.created;
    return h;
}

}  // namespace

HDC NewDisplayDC() { return Counted(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr)); }
HDC NewMemoryDC(HDC like) { return Counted(CreateCompatibleDC(like)); }
HBITMAP NewBitmap(HDC like, int width, int height) {
    return Counted(CreateCompatibleBitmap(like, width, height));
}
HBRUSH NewSolidBrush(COLORREF colour) { return Counted(CreateSolidBrush(colour)); }
HRGN NewRoundRegion(int right, int bottom, int ellipseWidth, int ellipseHeight) {
    return Counted(CreateRoundRectRgn(0, 0, right, bottom, ellipseWidth, ellipseHeight));
}

void FreeDC(HDC dc) {
    if (!dc) return;
    DeleteDC(dc);
    ++g_counts.freed;
}

void FreeObject(HGDIOBJ object) {
    if (!object) return;
    DeleteObject(object);
    ++g_counts.freed;
}

void GiveRegion(HWND hwnd, HRGN region) {
    if (!region) return;
    if (SetWindowRgn(hwnd, region, TRUE))
        ++g_counts.handedOver;
    else
        FreeObject(region);
}

BOOL Blit(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy) {
    ++g_counts.blits;
    return BitBlt(dst, x, y, w, h, src, sx, sy, SRCCOPY);
}

BOOL Stretch(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh) {
    ++g_counts.blits;
    return StretchBlt(dst, x, y, w, h, src, sx, sy, sw, sh, SRCCOPY);
}

BOOL Blend(HDC dst, int w, int h, HDC src, BYTE alpha) {
    ++g_counts.blends;
    BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, 0};
    return AlphaBlend(dst, 0, 0, w, h, src, 0, 0, w, h, blend);
}

Counts Snapshot() { return g_counts; }

long Live() { return g_counts.created - g_counts.freed - g_counts.handedOver; }

}  // namespace skin::gdi
