// Skinned buttons: the four state images, painting, fades and the messages
// that drive them; and the flat border of the other children.
#include "skin/engine.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/common_controls.h"
#include "platform/handles.h"
#include "platform/system_settings.h"
#include "skin/gdi_objects.h"

namespace skin {

using namespace detail;

namespace {

constexpr UINT kCaptionFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
constexpr COLORREF kCaptionColour = 0x000000;
constexpr COLORREF kDisabledCaptionColour = 0x808080;

HDC StateDC(HWND hwnd, int state) { return reinterpret_cast<HDC>(GetPropW(hwnd, kHdcProp[state])); }

// The current state's image, copied to the screen at once.
void ShowState(HWND hwnd) {
    const WindowBox box = GetWindowBox(hwnd);
    plat::WindowDC windowDC(hwnd, plat::WindowDC::Whole);
    gdi::Blit(windowDC.get(), 0, 0, box.Width, box.Height, StateDC(hwnd, StateIndex(ReadProp(hwnd, kOldState))), 0, 0);
}

// The state's image fades in, or shows at once when the user has turned
// animations off.
void BeginFade(HWND hwnd) {
    if (plat::ClientAreaAnimationOn()) {
        StartFadeTimer(hwnd);
        return;
    }
    StopFadeTimer(hwnd);
    WriteProp(hwnd, kAlphaLevel, 0);
    ShowState(hwnd);
}

void SetState(HWND hwnd, ButtonState state, int level) {
    WriteProp(hwnd, kOldState, state);
    WriteProp(hwnd, kAlphaLevel, level);
    BeginFade(hwnd);
}

// Copies one piece of a template band; a piece squeezed to nothing (button
// narrower than 8 or lower than 10 pixels) is left out rather than given
// a negative size, which GDI would mirror over the corners.
void Piece(HDC dc, HDC tpl, int x, int y, int w, int h, int sx, int sy, int sw, int sh) {
    if (w <= 0 || h <= 0) return;
    if (w == sw && h == sh)
        gdi::Blit(dc, x, y, w, h, tpl, sx, sy);
    else
        gdi::Stretch(dc, x, y, w, h, tpl, sx, sy, sw, sh);
}

void FadeStep(HWND hwnd) {
    const WindowBox box = GetWindowBox(hwnd);
    const int state = StateIndex(ReadProp(hwnd, kOldState));
    int level = static_cast<int>(std::clamp<INT_PTR>(ReadProp(hwnd, kAlphaLevel), 0, 255));
    {
        plat::WindowDC windowDC(hwnd, plat::WindowDC::Whole);
        gdi::Blend(windowDC.get(), box.Width, box.Height, StateDC(hwnd, state), static_cast<BYTE>(level));
    }
    level += kFadeStep;
    if (level > 255) {
        StopFadeTimer(hwnd);
        WriteProp(hwnd, kAlphaLevel, 0);
    } else {
        WriteProp(hwnd, kAlphaLevel, level);
    }
}

void Paint(HWND hwnd) {
    plat::PaintDC paint(hwnd);
    const WindowBox box = GetWindowBox(hwnd);
    const int state = StateIndex(ReadProp(hwnd, kOldState));
    gdi::Blit(paint.get(), 0, 0, box.Width, box.Height, StateDC(hwnd, state), 0, 0);
}

void ShowEnableState(HWND hwnd, bool enabled) {
    WriteProp(hwnd, kOldState, enabled ? Normal : Disabled);
    ShowState(hwnd);
}

// New bitmaps of the new size, the images drawn again, a new region.
void Resize(HWND hwnd) {
    const WindowBox box = GetWindowBox(hwnd);
    {
        plat::WindowDC windowDC(hwnd, plat::WindowDC::Whole);
        for (int n = 0; n < 4; ++n) {
            HDC dc = StateDC(hwnd, n);
            HBITMAP bitmap = gdi::NewBitmap(windowDC.get(), box.Width, box.Height);
            if (!dc || !bitmap) {
                gdi::FreeObject(bitmap);
                continue;
            }
            SelectObject(dc, bitmap);
            gdi::FreeObject(reinterpret_cast<HBITMAP>(GetPropW(hwnd, kBmpProp[n])));
            WriteProp(hwnd, kBmpProp[n], reinterpret_cast<INT_PTR>(bitmap));
        }
        RenderStateImages(hwnd);
    }
    gdi::GiveRegion(hwnd, gdi::NewRoundRegion(box.Width + 1, box.Height + 1, 3, 3));
}

}  // namespace

void RenderStateImages(HWND hwnd) {
    const WindowBox box = GetWindowBox(hwnd);
    const std::wstring caption = WindowCaption(hwnd);
    HDC tpl = Engine().templateDC;
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    const bool focused = GetFocus() == hwnd;
    const int w = box.Width;
    const int h = box.Height;
    const int midW = std::max(0, w - 8);
    const int midH = std::max(0, h - 10);
    const int innerW = std::max(0, w - 4);
    const int innerH = std::max(0, h - 4);

    for (int n = 0; n < 4; ++n) {
        HDC dc = StateDC(hwnd, n);
        if (!dc) continue;
        if (font) SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        const int y0 = kBandHeight * n;
        Piece(dc, tpl, 0, 0, 4, 5, 0, y0, 4, 5);                        // top-left corner
        Piece(dc, tpl, 4, 0, midW, 5, 4, y0, 1, 5);                     // top edge
        Piece(dc, tpl, w - 4, 0, 4, 5, 5, y0, 4, 5);                    // top-right corner
        Piece(dc, tpl, 0, 5, 4, midH, 0, y0 + 5, 4, 11);                // left edge
        Piece(dc, tpl, w - 4, 5, 4, midH, 5, y0 + 5, 4, 11);            // right edge
        Piece(dc, tpl, 0, h - 5, 4, 5, 0, y0 + 16, 4, 5);               // bottom-left corner
        Piece(dc, tpl, w - 4, h - 5, 4, 5, 5, y0 + 16, 4, 5);           // bottom-right corner
        Piece(dc, tpl, 4, h - 5, midW, 5, 4, y0 + 16, 1, 5);            // bottom edge
        Piece(dc, tpl, 4, 5, midW, midH, 4, y0 + 5, 1, 11);             // centre
        SetTextColor(dc, n == Disabled ? kDisabledCaptionColour : kCaptionColour);
        DrawCaption(dc, caption.c_str(), 2, 2, innerW, innerH, kCaptionFormat);
        if (focused) DrawFocusBox(dc, 2, 2, innerW, innerH);
    }
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    WNDPROC previous = EnterProc(hwnd, msg, wParam, lParam, DetachButton, result);
    if (!previous) return result;

    switch (msg) {
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_TIMER:
        FadeStep(hwnd);
        return CallWindowProcW(previous, hwnd, msg, wParam, lParam);
    case BM_SETSTYLE:
        // The dialog manager moves the default-button look between push
        // buttons without asking them first; a skinned button must stay
        // owner-drawn or its own procedure paints the classic face again.
        return CallWindowProcW(previous, hwnd, msg, (wParam & ~WPARAM{BS_TYPEMASK}) | BS_OWNERDRAW, lParam);
    default:
        break;
    }

    // The button's own procedure goes first: it still captures the mouse,
    // takes the focus and sends the click to the parent.
    result = CallWindowProcW(previous, hwnd, msg, wParam, lParam);
    // Its handler may have destroyed or given back the button.
    if (!GetPropW(hwnd, kProcAddr)) return result;

    switch (msg) {
    case WM_SIZE:
        Resize(hwnd);
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        RenderStateImages(hwnd);
        WriteProp(hwnd, kAlphaLevel, 0);
        BeginFade(hwnd);
        break;
    case WM_ENABLE:
        ShowEnableState(hwnd, wParam != 0);
        break;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) SetState(hwnd, Pressed, kFadeStartPressedByKey);
        break;
    case WM_KEYUP:
        if (wParam == VK_SPACE) {
            WriteProp(hwnd, kMouseFlag, 0);
            SetState(hwnd, Normal, kFadeStartNormal);
        }
        break;
    case WM_MOUSEMOVE:
        if (ReadProp(hwnd, kMouseFlag) == 0) {
            WriteProp(hwnd, kMouseFlag, 1);
            TrackMouseLeave(hwnd);
            SetState(hwnd, Hot, kFadeStartHot);
        }
        break;
    case WM_LBUTTONDOWN:
        SetState(hwnd, Pressed, kFadeStartPressedByMouse);
        break;
    case WM_LBUTTONUP:
    case WM_MOUSELEAVE:
        WriteProp(hwnd, kMouseFlag, 0);
        SetState(hwnd, Normal, kFadeStartNormal);
        break;
    default:
        break;
    }
    return result;
}

UINT_PTR StartFadeTimer(HWND hwnd) {
    // A running timer serves the new fade as well.
    if (ReadProp(hwnd, kTimerId) != 0) return 0;
    UINT_PTR id = SetTimer(hwnd, kFadeTimerId, kFadeInterval, nullptr);
    WriteProp(hwnd, kTimerId, static_cast<INT_PTR>(id));
    return id;
}

UINT_PTR StopFadeTimer(HWND hwnd) {
    UINT_PTR id = static_cast<UINT_PTR>(ReadProp(hwnd, kTimerId));
    if (id == 0) return 0;
    WriteProp(hwnd, kTimerId, 0);
    return KillTimer(hwnd, id);
}

void TrackMouseLeave(HWND hwnd) {
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = hwnd;
    track.dwHoverTime = 0;
    if (Engine().user32Tracking)
        TrackMouseEvent(&track);
    else
        plat::TrackMouseEventOfCommonControls(&track);
}

LRESULT CALLBACK FlatBorderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    WNDPROC previous = EnterProc(hwnd, msg, wParam, lParam, DetachFlatBorder, result);
    if (!previous) return result;
    result = CallWindowProcW(previous, hwnd, msg, wParam, lParam);
    if (msg == WM_NCPAINT && (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) {
        const WindowBox box = GetWindowBox(hwnd);
        plat::WindowDC windowDC(hwnd, plat::WindowDC::Whole);
        plat::WindowDC clientDC(hwnd, plat::WindowDC::Client);
        const int w = box.Width;
        const int h = box.Height;
        // Outermost ring: the flat border; the two inside it cover the rest
        // of the sunken edge in the control's background colour.
        FrameBox(windowDC.get(), 0, 0, w, h, IsWindowEnabled(hwnd) ? kFlatBorderEnabled : kFlatBorderDisabled);
        FrameBox(windowDC.get(), 1, 1, std::max(0, w - 2), std::max(0, h - 2), GetBkColor(clientDC.get()));
        FrameBox(windowDC.get(), 2, 2, std::max(0, w - 4), std::max(0, h - 4), GetBkColor(clientDC.get()));
    }
    return result;
}

std::wstring WindowCaption(HWND hwnd) {
    int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(0, got)));
    return text;
}

int DrawCaption(HDC dc, const wchar_t* text, int left, int top, int width, int height, UINT format) {
    RECT r{left, top, left + width, top + height};
    return DrawTextW(dc, text ? text : L"", -1, &r, format);
}

BOOL DrawFocusBox(HDC dc, int left, int top, int width, int height) {
    RECT r{left, top, left + width, top + height};
    return DrawFocusRect(dc, &r);
}

int FrameBox(HDC dc, int left, int top, int width, int height, COLORREF colour) {
    RECT r{left, top, left + width, top + height};
    gdi::OwnedBrush brush(gdi::NewSolidBrush(colour));
    return FrameRect(dc, &r, brush.get());
}

}  // namespace skin
