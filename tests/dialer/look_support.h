// The look tests' fixture (the main window, and the About window when a
// test opens it) and helpers: rectangles, control tables, painted pixels.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "dialer/about_window.h"
#include "dialer/main_window.h"
#include "dialer/resource.h"
#include "platform/handles.h"
#include "platform/text.h"
#include "tests/support/testing.h"

namespace look_testing {
using namespace dialer;
using testing_support::PumpMessages;

class Look : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RemoveSettingsFile();
        form_ = Form1::Create();
        ASSERT_NE(form_, nullptr);
        hwnd_ = form_->hwnd();
        PumpMessages(100);
    }
    void TearDown() override {
        if (HWND about = AboutWindowHandle()) DestroyWindow(about);
        if (IsWindow(hwnd_)) form_->Unload();
        PumpMessages(50);
        EXPECT_EQ(AboutWindowHandle(), nullptr);
        testing_support::RemoveSettingsFile();
    }
    HWND C(int id) const { return form_->Control(id); }
    HWND OpenAbout() {
        ShowAboutWindow();
        PumpMessages(50);
        return AboutWindowHandle();
    }
    Form1* form_ = nullptr;
    HWND hwnd_ = nullptr;
};

using Rect = std::array<int, 4>;  // left, top, width, height

// A window's rectangle in its parent's client coordinates, or (client) its client area on the screen.
inline Rect RectOf(HWND hwnd, bool client = false) {
    WINDOWINFO wi{};
    wi.cbSize = sizeof(wi);
    GetWindowInfo(hwnd, &wi);
    RECT r = client ? wi.rcClient : wi.rcWindow;
    if (!client) MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// A top-level form: caption, client place, sizable frame, no owner, no menu bar, icons.
inline void ExpectForm(HWND hwnd, const wchar_t* caption, Rect client) {
    EXPECT_EQ(plat::WindowText(hwnd), caption);
    EXPECT_EQ(RectOf(hwnd, true), client);
    const LONG want = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME;
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & want, want);
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), nullptr);
    EXPECT_EQ(GetMenu(hwnd), nullptr) << "no menu bar";
    EXPECT_TRUE(IsWindowVisible(hwnd));
    for (WPARAM size : {ICON_BIG, ICON_SMALL}) EXPECT_NE(SendMessageW(hwnd, WM_GETICON, size, 0), 0) << size;
}

// One control: its window, parent, class, pixel rectangle, text and visibility.
struct Place { HWND h, parent; const wchar_t* cls; Rect px; const wchar_t* text; bool visible; };

inline void ExpectPlaces(const std::vector<Place>& table) {
    for (const Place& e : table) {
        SCOPED_TRACE(e.h ? GetDlgCtrlID(e.h) : -1);
        ASSERT_NE(e.h, nullptr);
        wchar_t cls[64] = {};
        GetClassNameW(e.h, cls, 64);
        EXPECT_EQ(GetParent(e.h), e.parent);
        EXPECT_STREQ(cls, e.cls);
        EXPECT_EQ(RectOf(e.h), e.px);
        EXPECT_EQ(plat::WindowText(e.h), e.text);
        EXPECT_EQ(IsWindowVisible(e.h) != FALSE, e.visible);
    }
}

// What the control paints of its client area (WM_PRINTCLIENT) over magenta.
struct Snapshot {
    int w = 0, h = 0;
    std::vector<COLORREF> px;
    explicit Snapshot(HWND hwnd) {
        RECT r{};
        GetClientRect(hwnd, &r);
        w = r.right, h = r.bottom;
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(bi.bmiHeader), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        plat::UniqueBitmap bmp(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        plat::UniqueMemDC dc(CreateCompatibleDC(nullptr));
        if (w <= 0 || h <= 0 || !bmp || !dc) return;
        plat::SelectObjectScope keep(dc.get(), bmp.get());
        plat::UniqueBrush brush(CreateSolidBrush(RGB(255, 0, 255)));
        FillRect(dc.get(), &r, brush.get());
        SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT | PRF_ERASEBKGND);
        GdiFlush();
        const auto* p = static_cast<const BYTE*>(bits);  // blue, green, red, unused
        for (int i = 0; i < w * h; ++i) px.push_back(RGB(p[4 * i + 2], p[4 * i + 1], p[4 * i]));
    }
    COLORREF At(int x, int y) const { return px.at(static_cast<size_t>(y) * w + x); }
    size_t Count(COLORREF c) const { return std::count(px.begin(), px.end(), c); }
};

// Changes system colours for the scope and puts the old ones back.
struct SysColorsScope {
    std::vector<int> index;
    std::vector<COLORREF> old;
    SysColorsScope(std::vector<int> i, std::vector<COLORREF> colours) : index(std::move(i)) {
        for (int n : index) old.push_back(GetSysColor(n));
        SetSysColors(static_cast<int>(index.size()), index.data(), colours.data());
    }
    ~SysColorsScope() { SetSysColors(static_cast<int>(index.size()), index.data(), old.data()); }
};

}  // namespace look_testing
