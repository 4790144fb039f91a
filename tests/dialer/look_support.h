// The look tests' fixture (the main window, and the About window when a
// test opens it) and helpers: rectangles, control tables, painted pixels.
// They run at whatever DPI the display has: pixel figures are written for
// 96 DPI (whole pixels there) and scaled to the DPI the test runs at.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <vector>

#include "dialer/about_window.h"
#include "dialer/main_window.h"
#include "dialer/resource.h"
#include "platform/dpi.h"
#include "platform/handles.h"
#include "platform/text.h"
#include "tests/support/testing.h"

namespace look_testing {
using namespace dialer;
using testing_support::PumpMessages;

class Look : public ::testing::Test {
protected:
    void SetUp() override {
        plat::DeclareDpiAwareness();  // as the programs do
        testing_support::RemoveSettingsFile();
        form_ = MainWindow::Create();
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
    MainWindow* form_ = nullptr;
    HWND hwnd_ = nullptr;
};

using Rect = std::array<int, 4>;  // left, top, width, height

// The DPI the display runs at, and a figure for 96 DPI at another DPI.
inline int Dpi() { return plat::SystemDpi(); }
inline int At(int px96, int dpi = Dpi()) { return MulDiv(px96, dpi, 96); }

// At 96 DPI exactly the figures given; at others the same twips converted
// there (MulDiv's rounding: within one pixel).
inline void ExpectRect(const Rect& got, const Rect& px96, int dpi = Dpi()) {
    if (dpi == 96) {
        EXPECT_EQ(got, px96);
        return;
    }
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(got[i], At(px96[i], dpi), 1) << "coordinate " << i << " at " << dpi << " DPI";
}

// The change of DPI the system sends: the window moved a little, its client
// area at the new DPI; the window takes the suggested rectangle whole.
inline void ChangeDpi(HWND hwnd, int clientW96, int clientH96, int dpi) {
    RECT now{}, taken{};
    GetWindowRect(hwnd, &now);
    const RECT outer = plat::OuterRectForClientAt(0, 0, At(clientW96, dpi), At(clientH96, dpi),
                                                  GetWindowLongW(hwnd, GWL_STYLE), 0, dpi);
    RECT suggested{now.left + 3, now.top + 5, now.left + 3 + outer.right - outer.left,
                   now.top + 5 + outer.bottom - outer.top};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    PumpMessages(50);
    GetWindowRect(hwnd, &taken);
    EXPECT_TRUE(EqualRect(&taken, &suggested)) << "the suggested rectangle taken";
}

// The size of an icon's picture.
inline int IconWidth(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return 0;
    plat::UniqueBitmap colour(info.hbmColor), mask(info.hbmMask);
    BITMAP bm{};
    GetObjectW(info.hbmMask, sizeof(bm), &bm);
    return bm.bmWidth;
}

// A window's big and small icons are loaded at the sizes of its DPI.
inline void ExpectIconsAt(HWND hwnd, int dpi) {
    for (auto [which, metric] : {std::pair<WPARAM, int>{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}})
        EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, which, 0))),
                  plat::SystemMetricAt(metric, dpi)) << "icon " << which << " at " << dpi << " DPI";
}

// The text a label, check box or field shows fits its box in the control's font.
inline void ExpectTextFits(HWND control) {
    plat::WindowDC dc(control);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    plat::SelectObjectScope keep(dc.get(), font);
    const std::wstring text = plat::WindowText(control);
    SIZE extent{};
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
    RECT client{};
    GetClientRect(control, &client);
    wchar_t cls[16] = {};
    GetClassNameW(control, cls, 16);
    int room = client.right;
    if (!_wcsicmp(cls, L"Edit")) {
        const DWORD margins = static_cast<DWORD>(SendMessageW(control, EM_GETMARGINS, 0, 0));
        room -= LOWORD(margins) + HIWORD(margins);
    } else if (!_wcsicmp(cls, L"Button")) {
        room -= plat::SystemMetricAt(SM_CXMENUCHECK, Dpi()) + 2;  // the box and its gap
    }
    EXPECT_LE(extent.cx, room) << "text cut off at the right: " << text;
    EXPECT_LE(extent.cy, client.bottom) << "text cut off at the bottom";
}

// A window's rectangle in its parent's client coordinates, or (client) its client area on the screen.
inline Rect RectOf(HWND hwnd, bool client = false) {
    RECT r{};
    client ? GetClientRect(hwnd, &r) : GetWindowRect(hwnd, &r);
    MapWindowPoints(client ? hwnd : nullptr, client ? nullptr : GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// A top-level form: caption, client place (96 DPI figures), sizable frame,
// no menu bar, icons of the DPI's sizes.
inline void ExpectForm(HWND hwnd, const wchar_t* caption, Rect client) {
    EXPECT_EQ(plat::WindowText(hwnd), caption);
    ExpectRect(RectOf(hwnd, true), client);
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(GetMenu(hwnd), nullptr) << "no menu bar";
    ExpectIconsAt(hwnd, Dpi());
}

// One control: its window, parent, class, pixel rectangle (at 96 DPI), text and visibility.
struct Place { HWND h, parent; const wchar_t* cls; Rect px; const wchar_t* text; bool visible; };

inline void ExpectPlaces(const std::vector<Place>& table, int dpi = Dpi()) {
    for (const Place& e : table) {
        SCOPED_TRACE(GetDlgCtrlID(e.h));
        wchar_t cls[64] = {};
        GetClassNameW(e.h, cls, 64);
        EXPECT_TRUE(!wcscmp(cls, e.cls) && GetParent(e.h) == e.parent) << cls;
        ExpectRect(RectOf(e.h), e.px, dpi);
        EXPECT_EQ(plat::WindowText(e.h), e.text);
        EXPECT_EQ(IsWindowVisible(e.h) != FALSE, e.visible);
    }
}

// What a control paints of its client area (WM_PRINTCLIENT), kept in a memory DC.
struct Snapshot {
    RECT r{};
    plat::UniqueBitmap bmp;
    plat::UniqueMemDC dc{CreateCompatibleDC(nullptr)};  // deleted first: the bitmap is never deleted while selected
    explicit Snapshot(HWND hwnd) {
        GetClientRect(hwnd, &r);
        bmp.reset(CreateCompatibleBitmap(plat::WindowDC(nullptr).get(), r.right, r.bottom));
        SelectObject(dc.get(), bmp.get());
        SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT | PRF_ERASEBKGND);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc.get(), x, y); }
};

}  // namespace look_testing
