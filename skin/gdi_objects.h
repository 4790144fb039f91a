// Every GDI object the skin engine creates or frees, and every copy it
// draws, goes through here. The counts let tests prove that attach/detach
// cycles leave nothing behind (GetGuiResources answers 0 under Wine) and
// that a paint or a fade step costs exactly one copy.
#pragma once
#include <windows.h>

#include "platform/handles.h"

namespace skin::gdi {

HDC NewDisplayDC();
HDC NewMemoryDC(HDC like);
HBITMAP NewBitmap(HDC like, int width, int height);
HBRUSH NewSolidBrush(COLORREF colour);
HRGN NewRoundRegion(int right, int bottom, int ellipseWidth, int ellipseHeight);

void FreeDC(HDC dc);
void FreeObject(HGDIOBJ object);

// SetWindowRgn; the system owns the region from then on. A region the
// window refuses is freed here.
void GiveRegion(HWND hwnd, HRGN region);

BOOL Blit(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy);
BOOL Stretch(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh);
BOOL Blend(HDC dst, int w, int h, HDC src, BYTE alpha);

struct Counts {
    long created;     // DCs, bitmaps, brushes, regions made
    long freed;       // deleted by the engine
    long handedOver;  // regions now owned by windows
    long blits;       // BitBlt and StretchBlt calls
    long blends;      // AlphaBlend calls
};
Counts Snapshot();
// Objects the engine still owns.
long Live();

// Owners that give back through the engine's counted calls.
using OwnedDC = plat::Unique<plat::NullHandleTraits<HDC, FreeDC>>;
template <typename T>
using OwnedObject = plat::Unique<plat::NullHandleTraits<T, FreeObject>>;
using OwnedBitmap = OwnedObject<HBITMAP>;
using OwnedBrush = OwnedObject<HBRUSH>;
using OwnedRegion = OwnedObject<HRGN>;

}  // namespace skin::gdi
