// The skin engine on real windows. Control placements are in twips: 15 a pixel at the test display's 96 DPI.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/controls.h"
#include "platform/system_settings.h"
#include "platform/window.h"
#include "skin/engine.h"
#include "skin/gdi_objects.h"
#include "tests/support/testing.h"

namespace {

constexpr int kW = 65, kH = 25;

// Counts clicks; given a caption, with one skinned push button. A fade advances only when a test steps it.
class TestForm : public plat::Window {
public:
    explicit TestForm(const wchar_t* caption = nullptr, int w = kW, int h = kH) {
        CreateForm(L"skin", WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_VISIBLE, 0, 60, 60, 320, 240);
        SetFocus(hwnd());
        if (!caption) return;
        button = plat::CreateControl(hwnd(), L"Button", caption, WS_VISIBLE, 0, {150, 150, w * 15, h * 15}, 7);
        skin::SkinWindow(hwnd());
    }
    HWND button = nullptr;
    int clicks = 0;
    bool destroyOnClick = false;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
            ++clicks;
            if (destroyOnClick) DestroyWindow(hwnd());
            return 0;
        }
        return Default(msg, wParam, lParam);
    }
};

INT_PTR Prop(HWND hwnd, const wchar_t* name) { return reinterpret_cast<INT_PTR>(GetPropW(hwnd, name)); }
WNDPROC CurrentProc(HWND hwnd) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)); }
LONG ButtonType(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK; }
COLORREF StatePixel(HWND b, int n, int x, int y) {
    return GetPixel(reinterpret_cast<HDC>(Prop(b, (L"HDC" + std::to_wstring(n)).c_str())), x, y);
}
COLORREF Tpl(int n, int x, int r) { return GetPixel(skin::SkinTemplateDC(), x, skin::kBandHeight * n + r); }

bool g_setting = false;  // what the replaced query answers
bool Setting() { return g_setting; }

class SkinTest : public ::testing::Test {
protected:
    void SetUp() override { plat::SetQuitWhenLastFormCloses(false); }
    void TearDown() override {
        plat::SetHighContrastQuery(nullptr);
        plat::SetClientAreaAnimationQuery(nullptr);
        testing_support::PumpMessages(20);
        EXPECT_TRUE(skin::SkinnedButtonCount() + skin::HookedFormCount() == 0 && !skin::EngineReady());
        EXPECT_EQ(0, skin::gdi::Live());
    }
};

// Each state pixel against its template cell: corners as they are, edges repeating column 4, rows 5..15 stretched
// (row -1: only the first and last are certain). Below 8 x 10 later corners cover earlier ones, never mirrored.
TEST_F(SkinTest, NinePieceStretchOfEveryStateAndSize) {
    for (SIZE size : {SIZE{kW, kH}, SIZE{8, 10}, SIZE{6, 8}, SIZE{3, 4}, SIZE{8, 6}, SIZE{5, 10}}) {
        const int w = size.cx, h = size.cy;
        TestForm s(L"", w, h);
        for (int i = 0; i < 4 * w * h; ++i) {
            const int n = i / (w * h), x = i % w, y = i / w % h;
            const int col = x >= w - 4 ? x - (w - 4) + 5 : x < 4 ? x : 4;
            const int row = y >= h - 5 ? y - (h - 5) + 16 : y < 5 ? y : y == 5 ? 5 : y == h - 6 ? 15 : -1;
            const COLORREF c = StatePixel(s.button, n, x, y);
            bool match = row >= 0 && Tpl(n, col, row) == c;
            for (int r = 5; row < 0 && r <= 15; ++r) match |= Tpl(n, col, r) == c;
            EXPECT_TRUE(match) << w << "x" << h << " state " << n << " (" << x << ", " << y << ")";
        }
    }
}

const wchar_t* const kProps[] = {L"OLDSTATE", L"ALPHALEVEL", L"MOUSEFLAG", L"TIMERID"};

// Per message: state, level and mouse flag before (no timer running); the same and the timer id after.
const struct Row { UINT msg; WPARAM wParam; INT_PTR before[3], after[4]; } kRows[] = {
    {WM_MOUSEMOVE, 0, {0, 0, 0}, {1, 70, 1, 1}}, {WM_MOUSEMOVE, 0, {1, 100, 1}, {1, 100, 1, 0}},  // enters, moves on
    {WM_LBUTTONDOWN, MK_LBUTTON, {1, 100, 1}, {2, 10, 1, 1}}, {WM_MOUSEMOVE, MK_LBUTTON, {2, 40, 1}, {2, 40, 1, 0}},
    {WM_LBUTTONUP, 0, {2, 40, 1}, {0, 0, 0, 1}}, {WM_MOUSELEAVE, 0, {1, 40, 1}, {0, 0, 0, 1}},
    {WM_KEYDOWN, VK_SPACE, {0, 40, 0}, {2, 50, 0, 1}}, {WM_KEYUP, VK_SPACE, {2, 40, 1}, {0, 0, 0, 1}},
    {WM_KEYDOWN, 'A', {1, 40, 1}, {1, 40, 1, 0}}, {WM_KEYUP, VK_RETURN, {1, 40, 1}, {1, 40, 1, 0}},  // other keys
    {WM_ENABLE, FALSE, {0, 40, 0}, {3, 40, 0, 0}}, {WM_ENABLE, TRUE, {3, 40, 0}, {0, 40, 0, 0}},
    {WM_SETFOCUS, 0, {1, 77, 0}, {1, 0, 0, 1}}, {WM_KILLFOCUS, 0, {1, 77, 0}, {1, 0, 0, 1}},
    {WM_TIMER, 1, {2, 40, 0}, {2, 43, 0, 0}}, {WM_TIMER, 4242, {2, 40, 0}, {2, 43, 0, 0}},  // fade step, any timer id
};

// Another thread's form left alone; each message, with its fade and with animations off at once (no timer, no
// blend); a click that destroys the form.
TEST_F(SkinTest, OtherThreadEachMessageAndItsFadeOrItsImageAtOnceAndAClickDestroyingTheForm) {
    TestForm t(L"拨号");
    const HWND b = t.button;
    std::atomic<HWND> other{nullptr};
    std::atomic<bool> checked{false};
    std::thread thread([&] {
        TestForm otherForm;
        other = otherForm.hwnd();
        testing_support::PumpUntil([&] { return checked.load(); });
    });
    EXPECT_TRUE(testing_support::PumpUntil([&] { return other != nullptr; }));
    EXPECT_EQ(0, skin::SkinWindow(other) + Prop(other, L"PROCADDR"));
    checked = true;
    thread.join();
    plat::SetClientAreaAnimationQuery(Setting);
    for (bool animate : {true, false}) for (const Row& r : kRows) {
        SCOPED_TRACE((animate ? "" : "at once, row ") + std::to_string(&r - kRows));
        g_setting = animate;
        skin::StopFadeTimer(b);
        for (int i = 0; i < 3; ++i) SetPropW(b, kProps[i], reinterpret_cast<HANDLE>(r.before[i]));
        const long blends = skin::gdi::Snapshot().blends;
        SendMessageW(b, r.msg, r.wParam, MAKELPARAM(5, 5));
        const bool atOnce = !animate && r.after[3];
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(atOnce && i % 2 ? 0 : r.after[i], Prop(b, kProps[i])) << static_cast<char>(kProps[i][0]);
        EXPECT_TRUE(!atOnce || (skin::gdi::Snapshot().blends == blends &&
                                GetPixel(plat::WindowDC(b, plat::WindowDC::Whole).get(), kW / 2, 3) ==
                                    StatePixel(b, static_cast<int>(r.after[0]), kW / 2, 3)));
        for (int i = 0; i < 100 && Prop(b, L"TIMERID"); ++i) SendMessageW(b, WM_TIMER, 1, 0);
        EXPECT_TRUE(Prop(b, L"ALPHALEVEL") == 0 || !r.after[3]) << "a started fade ran to its end";
        EXPECT_FALSE(Prop(b, L"TIMERID") || KillTimer(b, 1)) << "no timer left running";
    }
    // The button's own procedure still made clicks of the mouse and the space key, in both passes.
    EXPECT_EQ(4, t.clicks);
    t.destroyOnClick = true;
    SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_FALSE(IsWindow(b));
}

// A high-contrast scheme gets plain system controls: at attach, on activation, and switched at run time both ways
// with nothing left behind.
TEST_F(SkinTest, HighContrastKeepsEverythingPlainAndSwitchesBothWaysWithoutLeftovers) {
    plat::SetHighContrastQuery(Setting);
    g_setting = true;
    TestForm form, box;
    const HWND f = form.hwnd();
    HWND b = plat::CreateControl(f, L"Button", L"B", WS_VISIBLE, 0, {300, 300, 975, 375}, 1);
    HWND edit = plat::CreateControl(f, L"Edit", L"", WS_VISIBLE, WS_EX_CLIENTEDGE, {300, 900, 1800, 330}, 2);
    const WNDPROC plain[] = {CurrentProc(b), CurrentProc(edit)};
    EXPECT_EQ(1, skin::SkinWindow(f)) << "the form is watched";
    EXPECT_TRUE(skin::HookedFormCount() == 1 && skin::SkinnedButtonCount() == 0 && !skin::EngineReady());
    SendMessageW(f, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(box.hwnd()));
    EXPECT_EQ(0, Prop(box.hwnd(), L"PROCADDR")) << "a form activated next to it stays plain";
    const long held = plat::HeldGdiObjects();
    long skinnedLive = -1;
    for (int i = 0; i < 100; ++i) {
        g_setting = !g_setting;
        SendMessageW(f, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        const bool high = g_setting;
        EXPECT_EQ(high ? plain[0] : &skin::ButtonProc, CurrentProc(b));
        EXPECT_EQ(high ? plain[1] : &skin::FlatBorderProc, CurrentProc(edit));
        EXPECT_EQ(high ? BS_PUSHBUTTON : BS_OWNERDRAW, ButtonType(b));
        plat::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
        EXPECT_EQ(high, GetWindowRgn(b, region.get()) == ERROR) << "no rounded region when plain";
        if (!high && skinnedLive < 0) skinnedLive = skin::gdi::Live();
        EXPECT_EQ(high ? 0 : skinnedLive, skin::gdi::Live()) << "switch " << i;
        EXPECT_EQ(!high, skin::EngineReady());
    }
    EXPECT_EQ(held, plat::HeldGdiObjects());
}

// Buttons anywhere on a form are skinned once, its other children get a flat border; a resize
// rebuilds a button's images; detaching gives each its own procedure and style.
TEST_F(SkinTest, FormChildrenSkinnedOrBorderedOnceResizedAndDetached) {
    TestForm form;
    const HWND f = form.hwnd();
    HWND frame = plat::CreateFrame(f, {150, 150, 3000, 2000}, 20);
    HWND inner = plat::CreateControl(frame, L"Button", L"H", WS_VISIBLE, 0, {150, 150, 975, 375}, 21);
    HWND check = plat::CreateControl(frame, L"Button", L"C", WS_VISIBLE | BS_AUTOCHECKBOX, 0, {150, 750, 975, 375}, 22);
    HWND edit = plat::CreateControl(f, L"Edit", L"", WS_VISIBLE, 0, {150, 2550, 1800, 330}, 9);
    HWND b = plat::CreateControl(f, L"Button", L"B", WS_VISIBLE | BS_DEFPUSHBUTTON, 0, {3300, 1800, 975, 375}, 25);
    const WNDPROC procs[] = {CurrentProc(f), CurrentProc(b), CurrentProc(edit)};
    EXPECT_EQ(1, skin::SkinWindow(f));
    const long live = skin::gdi::Live();
    EXPECT_EQ(0, skin::SkinWindow(f) + skin::SkinWindow(inner));
    EXPECT_TRUE(skin::SkinnedButtonCount() == 2 && skin::HookedFormCount() == 1 && skin::gdi::Live() == live);
    for (HWND other : {frame, check, edit}) EXPECT_EQ(&skin::FlatBorderProc, CurrentProc(other));
    EXPECT_EQ(BS_AUTOCHECKBOX, ButtonType(check)) << "check boxes keep their look";
    SendMessageW(b, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);  // the dialog manager moving the default look
    EXPECT_EQ(BS_OWNERDRAW, ButtonType(b));
    SetWindowPos(b, nullptr, 0, 0, 90, 31, SWP_NOMOVE | SWP_NOZORDER);
    for (int n = 0; n < 4; ++n) EXPECT_EQ(Tpl(n, 8, 20), StatePixel(b, n, 89, 30)) << "state " << n;
    EXPECT_TRUE(live > 0 && live == skin::gdi::Live()) << "counted, the old images freed";
    // Detached in the middle of a fade.
    SendMessageW(b, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(1, skin::DetachButton(b));
    EXPECT_EQ(procs[1], CurrentProc(b));
    EXPECT_EQ(BS_PUSHBUTTON, ButtonType(b)) << "plain, not default";
    EXPECT_EQ(0, Prop(b, L"PROCADDR") + Prop(b, L"HDC0") + Prop(b, L"HDC3") + Prop(b, L"BMP0") + Prop(b, L"BMP3"));
    EXPECT_FALSE(KillTimer(b, 1)) << "fade timer stopped";
    EXPECT_TRUE(skin::DetachFlatBorder(edit) + skin::DetachButton(inner) == 2 && CurrentProc(edit) == procs[2]);
    EXPECT_EQ(1, skin::DetachForm(f));
    EXPECT_EQ(procs[0], CurrentProc(f));
    EXPECT_FALSE(skin::EngineReady()) << "released after the last form";
    EXPECT_EQ(0, skin::DetachForm(f) + skin::DetachButton(b) + skin::AttachButton(nullptr));
}

}  // namespace
