#include "platform/controls.h"

#include "platform/dpi.h"
#include "platform/handles.h"
#include "platform/units.h"
#include "platform/window.h"

namespace plat {

const wchar_t kFrameClassName[] = L"Frame";

namespace {

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PaintDC dc(hwnd);
        RECT r;
        GetClientRect(hwnd, &r);
        DrawEdge(dc.get(), &r, EDGE_ETCHED, BF_RECT);
        return 0;
    }
    case WM_SIZE:
        InvalidateRect(hwnd, nullptr, TRUE);
        break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
        // The form owns the behaviour and colours of the contained controls.
        return SendMessageW(GetParent(hwnd), msg, wParam, lParam);
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}


}  // namespace

HFONT DefaultFont() {
    // The forms were laid out for the Chinese system's default form font,
    // 宋体 9 pt: their texts fit their boxes in it.
    static HFONT font = [] {
        HFONT f = CreateFontW(PointsToFontHeight(90), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                              L"宋体");
        return f ? f : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }();
    return font;
}

HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle,
                   const Placement& twips, int id) {
    // Inside a form with a layout, the control is placed at the form's DPI
    // and placed again when that changes.
    DpiLayout* layout = DpiLayout::Of(parent);
    const int x = layout ? layout->X(twips.left) : TwipsToPixelsX(twips.left);
    const int y = layout ? layout->Y(twips.top) : TwipsToPixelsY(twips.top);
    const int w = layout ? layout->X(twips.width) : TwipsToPixelsX(twips.width);
    const int h = layout ? layout->Y(twips.height) : TwipsToPixelsY(twips.height);
    HWND hwnd = CreateWindowExW(exStyle, className, text, WS_CHILD | style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) return nullptr;
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(layout ? layout->ControlFont() : DefaultFont()), FALSE);
    if (layout) layout->Record(hwnd, twips);
    return hwnd;
}

HWND FindControl(HWND form, int id) {
    if (!form) return nullptr;
    if (HWND direct = GetDlgItem(form, id)) return direct;
    for (HWND child = GetWindow(form, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (HWND inner = GetDlgItem(child, id)) return inner;
    return nullptr;
}

HWND CreateFrame(HWND parent, const Placement& twips, int id) {
    if (!EnsureWindowClass(kFrameClassName, FrameProc, COLOR_BTNFACE + 1)) return nullptr;
    return CreateControl(parent, kFrameClassName, L"", WS_VISIBLE | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, twips, id);
}

}  // namespace plat
