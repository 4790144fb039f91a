// The look tests run at whatever DPI the display has: pixel figures are for 96 DPI, scaled to the DPI in use.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <array>

#include "dialer/about_window.h"
#include "dialer/main_window.h"
#include "tests/support/testing.h"

namespace look_testing {
using namespace dialer;
using testing_support::PumpMessages;

class Look : public ::testing::Test {
protected:
    void SetUp() override {
        plat::DeclareDpiAwareness();
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
    MainWindow* form_ = nullptr;
    HWND hwnd_ = nullptr;
};

using Rect = std::array<int, 4>;  // left, top, width, height

inline int Dpi() { return plat::SystemDpi(); }
inline int At(int px96, int dpi = Dpi()) { return MulDiv(px96, dpi, 96); }

// Exact at 96 DPI; elsewhere the same twips converted, within MulDiv's one pixel of rounding.
inline void ExpectRect(const Rect& got, const Rect& px96, int dpi = Dpi()) {
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(got[i], At(px96[i], dpi), dpi == 96 ? 0 : 1) << "coordinate " << i << " at " << dpi << " DPI";
}

inline Rect RectOf(HWND hwnd, bool clientOnScreen = false) {
    RECT r{};
    clientOnScreen ? GetClientRect(hwnd, &r) : GetWindowRect(hwnd, &r);
    MapWindowPoints(clientOnScreen ? hwnd : nullptr, clientOnScreen ? nullptr : GetParent(hwnd),
                    reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

inline void ChangeDpi(HWND hwnd, int clientW96, int clientH96, int dpi) {
    const Rect now = RectOf(hwnd, true);  // as the system sends it: the window moved a little
    RECT suggested = plat::OuterRectForClientAt(now[0] + 3, now[1] + 5, At(clientW96, dpi), At(clientH96, dpi),
                                                GetWindowLongW(hwnd, GWL_STYLE), 0, dpi);
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    PumpMessages(50);
    RECT taken{};
    GetWindowRect(hwnd, &taken);
    EXPECT_TRUE(EqualRect(&taken, &suggested)) << "the suggested rectangle taken";
}

inline int IconWidth(HICON icon) {
    ICONINFO info{};
    GetIconInfo(icon, &info);  // all left empty for no icon
    plat::UniqueBitmap colour(info.hbmColor), mask(info.hbmMask);
    BITMAP bm{};
    GetObjectW(mask.get(), sizeof(bm), &bm);
    return bm.bmWidth;
}

inline void ExpectIconsAt(HWND hwnd, int dpi) {
    for (auto [which, metric] : {std::pair<WPARAM, int>{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}})
        EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, which, 0))),
                  plat::SystemMetricAt(metric, dpi)) << "icon " << which << " at " << dpi << " DPI";
}

struct Place { HWND h, parent; const wchar_t* cls; Rect px; };

inline void ExpectPlaces(const std::vector<Place>& table, int dpi = Dpi()) {
    for (const Place& e : table) {
        SCOPED_TRACE(GetDlgCtrlID(e.h));
        wchar_t cls[64] = {};
        GetClassNameW(e.h, cls, 64);
        EXPECT_TRUE(!wcscmp(cls, e.cls) && GetParent(e.h) == e.parent) << cls;
        ExpectRect(RectOf(e.h), e.px, dpi);
        EXPECT_TRUE(IsWindowVisible(e.h));
    }
}

struct Snapshot {  // what a control paints of its client area
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
