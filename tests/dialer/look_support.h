// Pixel figures are for 96 DPI, scaled to the DPI in use.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <utility>
#include <vector>

#include "platform/dpi.h"
#include "platform/handles.h"
#include "tests/support/testing.h"

namespace look_testing {
using testing_support::PumpMessages;

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

inline void ExpectPlaces(const std::vector<std::pair<HWND, Rect>>& table, int dpi = Dpi()) {
    for (const auto& [hwnd, px96] : table) {
        SCOPED_TRACE(GetDlgCtrlID(hwnd));
        ExpectRect(RectOf(hwnd), px96, dpi);
        EXPECT_TRUE(IsWindowVisible(hwnd));
    }
}

}  // namespace look_testing
