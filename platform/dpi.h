// Display scaling: the programs declare themselves DPI aware and lay every
// form out at the DPI of the monitor it is on, re-laying it out when that
// changes (WM_DPICHANGED).
#pragma once
#include <windows.h>

#include <initializer_list>
#include <vector>

#include "platform/controls.h"
#include "platform/handles.h"

namespace plat {

constexpr int kDesignDpi = 96;

// Per-monitor v2, else per-monitor, else system awareness, whichever the
// system offers (each looked up at run time: Windows 7 has only the last).
// Call before any window exists.
void DeclareDpiAwareness();

// The primary screen's DPI (the system DPI).
int SystemDpi();
// The DPI of the monitor holding a screen point / a window.
int DpiAtPoint(POINT screenPoint);
int DpiOfWindow(HWND hwnd);
// The DPI a form is laid out at (its layout's), for any window inside it.
int LayoutDpiOf(HWND hwnd);

int TwipsToPixelsAt(int twips, int dpi);
// Font height for CreateFont of a size in tenths of a point.
int FontHeightAt(int tenthsOfPoint, int dpi);
// A system metric (SM_CXICON ...) as it is at a DPI.
int SystemMetricAt(int index, int dpi);
// Outer rectangle for a client rectangle in pixels, frame measured at dpi.
RECT OuterRectForClientAt(int clientX, int clientY, int clientW, int clientH, DWORD style, DWORD exStyle, int dpi);

// A form designed with its client area at a fixed place on the screen (in
// twips): the DPI of the monitor there, and its outer rectangle at that DPI.
struct FormPlace {
    int dpi;
    RECT outer;
};
FormPlace PlaceForm(const Placement& clientTwips, DWORD style);

// A form's controls with their twips placements, its fonts and its icons,
// all made for one DPI and made again for another. Attached to a top-level
// window, it records every control CreateControl makes inside it.
class DpiLayout {
public:
    DpiLayout() = default;
    ~DpiLayout();
    DpiLayout(const DpiLayout&) = delete;
    DpiLayout& operator=(const DpiLayout&) = delete;

    void Attach(HWND form, int dpi);
    static DpiLayout* Of(HWND anyWindowOfForm);

    int dpi() const { return dpi_; }
    int X(int twips) const { return TwipsToPixelsAt(twips, dpi_); }
    int Y(int twips) const { return TwipsToPixelsAt(twips, dpi_); }

    // The form's control font: 宋体 9 pt at the layout's DPI.
    HFONT ControlFont();
    // A font of its own for some controls, kept at its point size.
    void SetFont(std::initializer_list<HWND> controls, int tenthsOfPoint, const wchar_t* face, BYTE charset);
    // The program's icon in the title-bar and Alt+Tab sizes of the DPI.
    void SetIcons(int iconResourceId);

    void Record(HWND control, const Placement& twips);
    // Everything again at another DPI: places, fonts, icons.
    void Rescale(int dpi);
    // WM_DPICHANGED: the new DPI, then the rectangle the system suggests.
    void OnDpiChanged(WPARAM wParam, LPARAM lParam);

private:
    struct Control {
        HWND hwnd;
        Placement twips;
    };
    struct Font {
        std::vector<HWND> controls;
        int tenthsOfPoint;
        const wchar_t* face;
        BYTE charset;
        UniqueFont font;
    };
    static UniqueFont MakeFont(int tenthsOfPoint, const wchar_t* face, BYTE charset, int dpi);
    void LoadIcons();

    HWND form_ = nullptr;
    int dpi_ = kDesignDpi;
    std::vector<Control> controls_;
    UniqueFont controlFont_;
    std::vector<Font> fonts_;
    int iconResourceId_ = 0;
    UniqueIcon bigIcon_, smallIcon_;
};

}  // namespace plat
