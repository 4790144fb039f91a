// The look tests' fixture (the main window, and the About window when a
// test opens it) and helpers: rectangles, control tables, painted pixels.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
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
    RECT r{};
    client ? GetClientRect(hwnd, &r) : GetWindowRect(hwnd, &r);
    MapWindowPoints(client ? hwnd : nullptr, client ? nullptr : GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// A top-level form: caption, client place, sizable frame, no menu bar, icons.
inline void ExpectForm(HWND hwnd, const wchar_t* caption, Rect client) {
    EXPECT_EQ(plat::WindowText(hwnd), caption);
    EXPECT_EQ(RectOf(hwnd, true), client);
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(GetMenu(hwnd), nullptr) << "no menu bar";
    for (WPARAM size : {ICON_BIG, ICON_SMALL}) EXPECT_NE(SendMessageW(hwnd, WM_GETICON, size, 0), 0) << size;
}

// One control: its window, parent, class, pixel rectangle, text and visibility.
struct Place { HWND h, parent; const wchar_t* cls; Rect px; const wchar_t* text; bool visible; };

inline void ExpectPlaces(const std::vector<Place>& table) {
    for (const Place& e : table) {
        SCOPED_TRACE(GetDlgCtrlID(e.h));
        wchar_t cls[64] = {};
        GetClassNameW(e.h, cls, 64);
        EXPECT_TRUE(!wcscmp(cls, e.cls) && GetParent(e.h) == e.parent) << cls;
        EXPECT_EQ(RectOf(e.h), e.px);
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
