// Helpers of the look tests: window rectangles and pixels of what a control
// paints into a memory bitmap.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles.h"

namespace look_testing {

struct Rect {
    int left, top, width, height;
    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
};

inline std::ostream& operator<<(std::ostream& os, const Rect& r) {
    return os << "{" << r.left << ", " << r.top << ", " << r.width << ", " << r.height << "}";
}

// The window's rectangle in its parent's client coordinates.
inline Rect RectInParent(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Client area size and its top-left corner on the screen.
inline Rect ClientOnScreen(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    return {origin.x, origin.y, r.right, r.bottom};
}

inline std::wstring ClassOf(HWND hwnd) {
    wchar_t buf[64] = {};
    GetClassNameW(hwnd, buf, 64);
    return buf;
}

// What the control paints of its client area (WM_PRINTCLIENT) on a
// background of `fill`, as 0x00RRGGBB-free COLORREF values, row by row.
class Snapshot {
public:
    Snapshot(HWND hwnd, COLORREF fill = RGB(255, 0, 255)) {
        RECT r{};
        GetClientRect(hwnd, &r);
        width_ = r.right;
        height_ = r.bottom;
        if (width_ <= 0 || height_ <= 0) return;
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width_;
        bi.bmiHeader.biHeight = -height_;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        plat::UniqueBitmap bmp(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        plat::UniqueMemDC dc(CreateCompatibleDC(nullptr));
        if (!bmp || !dc) return;
        {
            plat::SelectObjectScope keep(dc.get(), bmp.get());
            plat::UniqueBrush brush(CreateSolidBrush(fill));
            FillRect(dc.get(), &r, brush.get());
            SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT | PRF_ERASEBKGND);
            GdiFlush();
        }
        const auto* p = static_cast<const DWORD*>(bits);
        pixels_.reserve(static_cast<size_t>(width_) * height_);
        for (int i = 0; i < width_ * height_; ++i) {
            DWORD v = p[i];
            pixels_.push_back(RGB((v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff));
        }
    }
    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF At(int x, int y) const { return pixels_.at(static_cast<size_t>(y) * width_ + x); }
    size_t Count(COLORREF c) const {
        size_t n = 0;
        for (COLORREF p : pixels_) n += p == c;
        return n;
    }

private:
    int width_ = 0, height_ = 0;
    std::vector<COLORREF> pixels_;
};

// Changes system colours for the scope and puts the old ones back.
class SysColorsScope {
public:
    SysColorsScope(std::vector<int> indexes, std::vector<COLORREF> colours) : indexes_(std::move(indexes)) {
        for (int i : indexes_) old_.push_back(GetSysColor(i));
        SetSysColors(static_cast<int>(indexes_.size()), indexes_.data(), colours.data());
    }
    ~SysColorsScope() { SetSysColors(static_cast<int>(indexes_.size()), indexes_.data(), old_.data()); }

private:
    std::vector<int> indexes_;
    std::vector<COLORREF> old_;
};

}  // namespace look_testing
