// Shared pieces of the skin engine tests: a test form, children placed in
// pixels, readers of properties and of the state images' pixels.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "platform/controls.h"
#include "platform/window.h"
#include "skin/MSkinButton.h"
#include "skin/gdi_objects.h"
#include "tests/support/testing.h"

namespace skin_test {

// A top-level window of the programs' form class counting its children's
// clicks.
class TestForm : public plat::Window {
public:
    TestForm() {
        CreateForm(L"skin test", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 0, 60, 60, 320, 240);
        ShowWindow(hwnd(), SW_SHOW);
    }
    HWND hwnd() const { return plat::Window::hwnd(); }
    int clicks = 0;
    int destroyOnClick = 0;  // a click of this id destroys the form from inside the click

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
            ++clicks;
            if (destroyOnClick && LOWORD(wParam) == destroyOnClick) return DestroyWindow(hwnd()), 0;
        }
        return Default(msg, wParam, lParam);
    }
};

inline HWND AddChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int x,
                     int y, int w, int h, int id) {
    HWND hwnd = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (hwnd) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(plat::DefaultFont()), FALSE);
    return hwnd;
}
inline HWND AddButton(HWND parent, const wchar_t* caption, int x, int y, int w, int h, int id,
                      DWORD style = BS_PUSHBUTTON) {
    return AddChild(parent, L"Button", caption, WS_TABSTOP | style, 0, x, y, w, h, id);
}

// A form with one push button, skinned. Posted messages are not pumped
// unless a test does it, so a fade only advances when told.
struct OneButton {
    explicit OneButton(const wchar_t* caption = L"Dial", int w = 65, int h = 25, DWORD style = BS_PUSHBUTTON) {
        button = AddButton(form.hwnd(), caption, 10, 10, w, h, 7, style);
        SetFocus(form.hwnd());
        skin::SkinWindow(form.hwnd());
    }
    TestForm form;
    HWND button;
};

inline INT_PTR Prop(HWND hwnd, const wchar_t* name) { return reinterpret_cast<INT_PTR>(GetPropW(hwnd, name)); }
inline WNDPROC CurrentProc(HWND hwnd) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)); }
inline LONG ButtonType(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK; }
inline COLORREF StatePixel(HWND button, int state, int x, int y) {
    const wchar_t name[] = {L'H', L'D', L'C', static_cast<wchar_t>(L'0' + state), 0};
    return GetPixel(reinterpret_cast<HDC>(GetPropW(button, name)), x, y);
}
// Template colour at column x of row r of state n's band.
inline COLORREF Tpl(int n, int x, int r) { return GetPixel(skin::SkinTemplateDC(), x, skin::kBandHeight * n + r); }

// Bit i set when points[i] lies in the window's region; -1 without a region.
inline int RegionMask(HWND hwnd, std::initializer_list<POINT> points) {
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    int mask = GetWindowRgn(hwnd, rgn) == ERROR ? -1 : 0, bit = 1;
    for (POINT p : points) mask |= mask >= 0 && PtInRegion(rgn, p.x, p.y) ? bit : 0, bit <<= 1;
    DeleteObject(rgn);
    return mask;
}

// Makes the form the active window (the activation-driven spread needs it).
inline bool Activate(HWND form) {
    SetForegroundWindow(form);
    SetActiveWindow(form);
    return testing_support::PumpUntil([&] { return GetActiveWindow() == form; }, 3000);
}

// Every test starts and ends with the engine at rest.
class SkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::SetQuitWhenLastFormCloses(false);
        ASSERT_FALSE(skin::EngineReady());
        ASSERT_EQ(0, skin::gdi::Live());
    }
    void TearDown() override {
        testing_support::PumpMessages(20);
        EXPECT_EQ(0, skin::SkinnedButtonCount());
        EXPECT_EQ(0, skin::HookedFormCount());
        EXPECT_FALSE(skin::EngineReady());
        EXPECT_EQ(0, skin::gdi::Live());
    }
};

}  // namespace skin_test
