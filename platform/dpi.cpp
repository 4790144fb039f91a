#include "platform/dpi.h"

#include <algorithm>
#include <utility>

#include "platform/library.h"

namespace plat {
namespace {

const wchar_t kLayoutProp[] = L"plat.DpiLayout";

// Entry points of newer systems, found at run time so that the programs
// still start where they are missing.
template <typename Fn>
Fn Lookup(const wchar_t* module, const char* name) {
    return LibraryFunction<Fn>(GetModuleHandleW(module), name);
}

// shcore is not loaded by every program; loaded once, kept for the process.
HMODULE Shcore() {
    static HMODULE shcore = LoadLibraryW(L"shcore.dll");
    return shcore;
}

template <typename Fn>
Fn LookupShcore(const char* name) {
    return LibraryFunction<Fn>(Shcore(), name);
}

int Sane(int dpi) { return dpi > 0 ? dpi : kDesignDpi; }

}  // namespace

void DeclareDpiAwareness() {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    if (auto setContext = Lookup<SetContextFn>(L"user32.dll", "SetProcessDpiAwarenessContext")) {
        // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
        if (setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) return;
    }
    using SetAwarenessFn = HRESULT(WINAPI*)(int);
    if (auto setAwareness = LookupShcore<SetAwarenessFn>("SetProcessDpiAwareness")) {
        const int kPerMonitorAware = 2;  // PROCESS_PER_MONITOR_DPI_AWARE
        if (SUCCEEDED(setAwareness(kPerMonitorAware))) return;
    }
    using SetAwareFn = BOOL(WINAPI*)();
    if (auto setAware = Lookup<SetAwareFn>(L"user32.dll", "SetProcessDPIAware")) setAware();
}

int SystemDpi() {
    WindowDC screen(nullptr);
    return Sane(screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : kDesignDpi);
}

int DpiAtPoint(POINT screenPoint) {
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    if (auto forMonitor = LookupShcore<GetDpiForMonitorFn>("GetDpiForMonitor")) {
        UINT x = 0, y = 0;
        if (SUCCEEDED(forMonitor(MonitorFromPoint(screenPoint, MONITOR_DEFAULTTOPRIMARY), 0 /* MDT_EFFECTIVE_DPI */,
                                 &x, &y)))
            return Sane(static_cast<int>(y));
    }
    return SystemDpi();
}

int DpiOfWindow(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    if (auto forWindow = Lookup<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow"))
        if (UINT dpi = forWindow(hwnd)) return static_cast<int>(dpi);
    RECT r{};
    if (hwnd && GetWindowRect(hwnd, &r)) return DpiAtPoint({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return SystemDpi();
}

int LayoutDpiOf(HWND hwnd) {
    if (DpiLayout* layout = DpiLayout::Of(hwnd)) return layout->dpi();
    return DpiOfWindow(hwnd);
}

int TwipsToPixelsAt(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }
int FontHeightAt(int tenthsOfPoint, int dpi) { return -MulDiv(tenthsOfPoint, dpi, 720); }

int SystemMetricAt(int index, int dpi) {
    using ForDpiFn = int(WINAPI*)(int, UINT);
    if (auto forDpi = Lookup<ForDpiFn>(L"user32.dll", "GetSystemMetricsForDpi"))
        return forDpi(index, static_cast<UINT>(dpi));
    // Older systems have one DPI for everything, the system's.
    return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

RECT OuterRectForClientAt(int clientX, int clientY, int clientW, int clientH, DWORD style, DWORD exStyle, int dpi) {
    RECT r{clientX, clientY, clientX + clientW, clientY + clientH};
    using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    auto adjust = Lookup<AdjustForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");
    if (!adjust || !adjust(&r, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
        r = RECT{clientX, clientY, clientX + clientW, clientY + clientH};
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
    }
    return r;
}

FormPlace PlaceForm(const Placement& c, DWORD style) {
    // The monitor is found where the place lies at the system's DPI.
    const int dpi = DpiAtPoint({TwipsToPixelsAt(c.left, SystemDpi()), TwipsToPixelsAt(c.top, SystemDpi())});
    auto px = [dpi](int twips) { return TwipsToPixelsAt(twips, dpi); };
    return {dpi, OuterRectForClientAt(px(c.left), px(c.top), px(c.width), px(c.height), style, 0, dpi)};
}

DpiLayout::~DpiLayout() {
    if (form_ && GetPropW(form_, kLayoutProp) == this) RemovePropW(form_, kLayoutProp);
}

void DpiLayout::Attach(HWND form, int dpi) {
    form_ = form;
    dpi_ = Sane(dpi);
    SetPropW(form, kLayoutProp, this);
}

DpiLayout* DpiLayout::Of(HWND anyWindowOfForm) {
    HWND root = anyWindowOfForm ? GetAncestor(anyWindowOfForm, GA_ROOT) : nullptr;
    return root ? static_cast<DpiLayout*>(GetPropW(root, kLayoutProp)) : nullptr;
}

UniqueFont DpiLayout::MakeFont(int tenthsOfPoint, const wchar_t* face, BYTE charset, int dpi) {
    return UniqueFont(CreateFontW(FontHeightAt(tenthsOfPoint, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_DONTCARE, face));
}

HFONT DpiLayout::ControlFont() {
    // The forms were laid out for the Chinese system's default form font,
    // 宋体 9 pt: their texts fit their boxes in it.
    if (!controlFont_) controlFont_ = MakeFont(90, L"宋体", GB2312_CHARSET, dpi_);
    return controlFont_ ? controlFont_.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void DpiLayout::SetFont(std::initializer_list<HWND> controls, int tenthsOfPoint, const wchar_t* face, BYTE charset) {
    Font f{controls, tenthsOfPoint, face, charset, MakeFont(tenthsOfPoint, face, charset, dpi_)};
    for (HWND c : f.controls) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(f.font.get()), FALSE);
    fonts_.push_back(std::move(f));
}

void DpiLayout::SetIcons(int iconResourceId) {
    iconResourceId_ = iconResourceId;
    LoadIcons();
}

void DpiLayout::LoadIcons() {
    if (!iconResourceId_ || !form_) return;
    HINSTANCE module = GetModuleHandleW(nullptr);
    auto load = [&](int cx, int cy) {
        return UniqueIcon(static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(iconResourceId_), IMAGE_ICON,
                                                        SystemMetricAt(cx, dpi_), SystemMetricAt(cy, dpi_), 0)));
    };
    // The window lets go of the old icons before they are freed.
    UniqueIcon big = load(SM_CXICON, SM_CYICON), small = load(SM_CXSMICON, SM_CYSMICON);
    if (big) SendMessageW(form_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    if (small) SendMessageW(form_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    if (big) bigIcon_ = std::move(big);
    if (small) smallIcon_ = std::move(small);
}

void DpiLayout::Record(HWND control, const Placement& twips) { controls_.push_back({control, twips}); }

void DpiLayout::Rescale(int dpi) {
    dpi = Sane(dpi);
    controls_.erase(std::remove_if(controls_.begin(), controls_.end(), [](const Control& c) { return !IsWindow(c.hwnd); }),
                    controls_.end());
    // The old fonts are freed last: until the controls have their new size,
    // the skin's images (drawn on WM_SIZE) still hold them selected.
    std::vector<UniqueFont> oldFonts;
    if (dpi != dpi_) {
        dpi_ = dpi;
        oldFonts.push_back(std::move(controlFont_));
        HFONT controlFont = ControlFont();
        for (const Control& c : controls_) {
            if (reinterpret_cast<HFONT>(SendMessageW(c.hwnd, WM_GETFONT, 0, 0)) == oldFonts.front().get())
                SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(controlFont), TRUE);
        }
        for (Font& f : fonts_) {
            oldFonts.push_back(std::exchange(f.font, MakeFont(f.tenthsOfPoint, f.face, f.charset, dpi_)));
            for (HWND c : f.controls)
                if (IsWindow(c)) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(f.font.get()), TRUE);
        }
        LoadIcons();
    }
    for (const Control& c : controls_)
        SetWindowPos(c.hwnd, nullptr, X(c.twips.left), Y(c.twips.top), X(c.twips.width), Y(c.twips.height),
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void DpiLayout::OnDpiChanged(WPARAM wParam, LPARAM lParam) {
    const int oldDpi = dpi_;
    Rescale(HIWORD(wParam));
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    if (form_ && IsIconic(form_)) {
        // Minimised (the dialer in the tray): the suggestion is for the
        // minimised window; the size it comes back at follows the new DPI.
        WINDOWPLACEMENT wp{};
        wp.length = sizeof(wp);
        if (!GetWindowPlacement(form_, &wp)) return;
        const DWORD style = static_cast<DWORD>(GetWindowLongW(form_, GWL_STYLE));
        const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(form_, GWL_EXSTYLE));
        const RECT oldFrame = OuterRectForClientAt(0, 0, 0, 0, style, exStyle, oldDpi);
        const RECT newFrame = OuterRectForClientAt(0, 0, 0, 0, style, exStyle, dpi_);
        RECT& r = wp.rcNormalPosition;
        const int w = MulDiv(r.right - r.left - (oldFrame.right - oldFrame.left), dpi_, oldDpi);
        const int h = MulDiv(r.bottom - r.top - (oldFrame.bottom - oldFrame.top), dpi_, oldDpi);
        r.right = r.left + w + newFrame.right - newFrame.left;
        r.bottom = r.top + h + newFrame.bottom - newFrame.top;
        wp.showCmd = IsWindowVisible(form_) ? SW_SHOWMINNOACTIVE : SW_HIDE;
        SetWindowPlacement(form_, &wp);
        return;
    }
    if (form_ && suggested)
        SetWindowPos(form_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(form_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

}  // namespace plat
