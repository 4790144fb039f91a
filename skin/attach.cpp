// Taking windows over and giving them back.
#include "platform/handles.h"
#include "platform/system_settings.h"
#include "skin/engine.h"
#include "skin/gdi_objects.h"

namespace skin {

using namespace detail;

namespace {

// Only windows of the engine's own thread can be subclassed safely: another
// process's window refuses a new procedure, and another thread would run
// the engine's procedures concurrently.
bool Attachable(HWND hwnd) {
    if (!hwnd || !IsWindow(hwnd)) return false;
    if (GetWindowThreadProcessId(hwnd, nullptr) != GetCurrentThreadId()) return false;
    return GetPropW(hwnd, kProcAddr) == nullptr;
}

// Removes PROCADDR and puts back the procedure it held; false when the
// window is not attached.
bool Unsubclass(HWND hwnd) {
    WNDPROC previous = hwnd ? PreviousProc(hwnd) : nullptr;
    if (!previous) return false;
    RemovePropW(hwnd, kProcAddr);
    RestoreProc(hwnd, previous);
    return true;
}

BOOL CALLBACK PlainChildProc(HWND hwnd, LPARAM) {
    const WNDPROC current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    if (current == ButtonProc)
        DetachButton(hwnd);
    else if (current == FlatBorderProc)
        DetachFlatBorder(hwnd);
    return TRUE;
}

}  // namespace

void FollowContrastScheme(HWND form) {
    if (!plat::HighContrastOn()) {
        SkinWindow(form);
        return;
    }
    EnumChildWindows(form, PlainChildProc, 0);
    // Forms stay attached to hear the scheme change back; the template is
    // not kept for them.
    EngineState& e = Engine();
    if (e.buttons <= 0 && e.ready) {
        DestroySkinTemplate();
        e.ready = false;
    }
}

LONG AttachButton(HWND hwnd) {
    if (!Attachable(hwnd)) return 0;
    const WindowBox box = GetWindowBox(hwnd);
    {
        plat::WindowDC windowDC(hwnd, plat::WindowDC::Whole);
        for (int n = 0; n < 4; ++n) {
            HDC dc = gdi::NewMemoryDC(windowDC.get());
            HBITMAP bitmap = gdi::NewBitmap(windowDC.get(), box.Width, box.Height);
            if (dc && bitmap) SelectObject(dc, bitmap);
            WriteProp(hwnd, kHdcProp[n], reinterpret_cast<INT_PTR>(dc));
            WriteProp(hwnd, kBmpProp[n], reinterpret_cast<INT_PTR>(bitmap));
        }
        RenderStateImages(hwnd);
    }
    // The button's own procedure stops drawing the classic face.
    SendMessageW(hwnd, BM_SETSTYLE, BS_OWNERDRAW, TRUE);
    WriteProp(hwnd, kMouseFlag, 0);
    WriteProp(hwnd, kTimerId, 0);
    WriteProp(hwnd, kOldState, IsWindowEnabled(hwnd) ? Normal : Disabled);
    WriteProp(hwnd, kAlphaLevel, 0);
    gdi::GiveRegion(hwnd, gdi::NewRoundRegion(box.Width + 1, box.Height + 1, 3, 3));
    Subclass(hwnd, ButtonProc);
    ++Engine().buttons;
    return 1;
}

LONG DetachButton(HWND hwnd) {
    if (!hwnd) return 0;
    WNDPROC previous = PreviousProc(hwnd);
    if (!previous) return 0;
    for (int n = 0; n < 4; ++n) {
        gdi::FreeDC(reinterpret_cast<HDC>(GetPropW(hwnd, kHdcProp[n])));
        gdi::FreeObject(reinterpret_cast<HBITMAP>(GetPropW(hwnd, kBmpProp[n])));
        RemovePropW(hwnd, kHdcProp[n]);
        RemovePropW(hwnd, kBmpProp[n]);
    }
    StopFadeTimer(hwnd);
    RemovePropW(hwnd, kMouseFlag);
    RemovePropW(hwnd, kTimerId);
    RemovePropW(hwnd, kOldState);
    RemovePropW(hwnd, kAlphaLevel);
    RemovePropW(hwnd, kProcAddr);
    // A plain push button again; a former default button stays plain.
    LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    SetWindowLongW(hwnd, GWL_STYLE, style & ~static_cast<LONG>(BS_OWNERDRAW));
    SetWindowRgn(hwnd, nullptr, TRUE);
    RestoreProc(hwnd, previous);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE);
    --Engine().buttons;
    TeardownTest();
    return 1;
}

LONG AttachForm(HWND hwnd) {
    if (!Attachable(hwnd)) return 0;
    Subclass(hwnd, FormProc);
    ++Engine().forms;
    return 1;
}

LONG DetachForm(HWND hwnd) {
    if (!Unsubclass(hwnd)) return 0;
    --Engine().forms;
    TeardownTest();
    return 1;
}

LONG AttachFlatBorder(HWND hwnd) {
    if (!Attachable(hwnd)) return 0;
    Subclass(hwnd, FlatBorderProc);
    SendMessageW(hwnd, WM_NCPAINT, 1, 0);
    return 1;
}

LONG DetachFlatBorder(HWND hwnd) {
    if (!Unsubclass(hwnd)) return 0;
    SendMessageW(hwnd, WM_NCPAINT, 1, 0);
    return 1;
}

}  // namespace skin
