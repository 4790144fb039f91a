// The skin engine on real windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "platform/controls.h"
#include "platform/handles.h"
#include "platform/window.h"
#include "skin/engine.h"
#include "skin/gdi_objects.h"
#include "tests/support/testing.h"

namespace {

using testing_support::PumpMessages;
using testing_support::PumpUntil;
constexpr int kW = 65, kH = 25;

HWND Add(HWND parent, const wchar_t* text, int x, int y, int w, int h, int id, DWORD style = BS_PUSHBUTTON,
         const wchar_t* cls = L"Button", DWORD exStyle = 0) {
    HWND hwnd = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(plat::DefaultFont()), FALSE);
    return hwnd;
}

// A form of the programs' class counting clicks; given a caption, with one
// skinned push button (id 7). A fade advances only when a test pumps or steps it.
class TestForm : public plat::Window {
public:
    explicit TestForm(const wchar_t* caption = nullptr, int w = kW, int h = kH, DWORD style = BS_PUSHBUTTON) {
        CreateForm(L"skin", WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_VISIBLE, 0, 60, 60, 320, 240);
        button = caption ? Add(hwnd(), caption, 10, 10, w, h, 7, style) : nullptr;
        SetFocus(hwnd());
        if (caption) skin::SkinWindow(hwnd());
    }
    HWND button;
    int clicks = 0, destroyOnClick = -1;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && ++clicks && LOWORD(wParam) == destroyOnClick)
            return DestroyWindow(hwnd()), 0;
        return Default(msg, wParam, lParam);
    }
};

INT_PTR Prop(HWND hwnd, const wchar_t* name) { return reinterpret_cast<INT_PTR>(GetPropW(hwnd, name)); }
WNDPROC CurrentProc(HWND hwnd) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)); }
LONG ButtonType(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK; }
COLORREF StatePixel(HWND b, int n, int x, int y) {
    return GetPixel(reinterpret_cast<HDC>(Prop(b, (L"HDC" + std::to_wstring(n)).c_str())), x, y);
}
// Every pixel of a button's four state images, or of the template (button null).
std::vector<COLORREF> Pixels(HWND button, int w, int h) {
    std::vector<COLORREF> all;
    for (int i = 0; i < (button ? 4 : 1) * w * h; ++i)
        all.push_back(button ? StatePixel(button, i / (w * h), i % w, i / w % h)
                             : GetPixel(skin::SkinTemplateDC(), i % w, i / w % h));
    return all;
}
COLORREF Tpl(int n, int x, int r) { return GetPixel(skin::SkinTemplateDC(), x, skin::kBandHeight * n + r); }

// Bit i set when points[i] lies in the window's region; -1 without a region.
int RegionMask(HWND hwnd, std::initializer_list<POINT> points) {
    plat::UniqueRegion rgn(CreateRectRgn(0, 0, 0, 0));
    int mask = GetWindowRgn(hwnd, rgn.get()) == ERROR ? -1 : 0, bit = 1;
    for (POINT p : points) mask |= mask >= 0 && PtInRegion(rgn.get(), p.x, p.y) ? bit : 0, bit <<= 1;
    return mask;
}

class SkinTest : public ::testing::Test {
protected:
    void SetUp() override { plat::SetQuitWhenLastFormCloses(false); }
    void TearDown() override {
        PumpMessages(20);
        EXPECT_TRUE(skin::SkinnedButtonCount() + skin::HookedFormCount() == 0 && !skin::EngineReady());
        EXPECT_EQ(0, skin::gdi::Live());
    }
};

// Each state pixel against its template cell: corners as they are, edges
// repeating column 4, rows 5..15 stretched (row -1: only the first and last
// are certain). Below 8 x 10 later corners cover earlier ones, never mirrored.
TEST_F(SkinTest, TemplateRebuiltTheSameNinePieceStretchOfEveryStateAndSizePaintAndResize) {
    std::vector<COLORREF> first;
    for (SIZE size : {SIZE{kW, kH}, SIZE{8, 10}, SIZE{6, 8}, SIZE{3, 4}, SIZE{8, 6}, SIZE{5, 10}}) {
        const int w = size.cx, h = size.cy;
        TestForm s(L"", w, h);
        const auto tpl = Pixels(nullptr, skin::kTemplateWidth, skin::kTemplateHeight);
        first = first.empty() ? tpl : first;
        EXPECT_EQ(first, tpl) << "rebuilt the same";
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
    // One cell a band, where its two halves are not mirror images.
    const COLORREF samples[][3] = {{6, 18, 0xECD5BB}, {6, 37, 0xF3D094}, {7, 43, 0xE6A123}, {3, 63, 0xBFBFBF}};
    for (const auto& s : samples) EXPECT_EQ(s[2], first[s[1] * skin::kTemplateWidth + s[0]]) << s[0] << ", " << s[1];
    TestForm s(L"");
    PumpMessages(100);
    SetPropW(s.button, L"OLDSTATE", reinterpret_cast<HANDLE>(INT_PTR{skin::Pressed}));
    RedrawWindow(s.button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    plat::WindowDC screen(s.button);
    for (int x = 4; x < kW - 4; ++x)
        EXPECT_TRUE(GetPixel(screen.get(), x, 5) == 0xEED1AD && GetPixel(screen.get(), x, kH - 6) == 0xFBF1E0) << x;
    const long live = skin::gdi::Live();
    SetWindowPos(s.button, nullptr, 0, 0, 90, 31, SWP_NOMOVE | SWP_NOZORDER);
    for (int n = 0; n < 4; ++n) EXPECT_EQ(Tpl(n, 8, 20), StatePixel(s.button, n, 89, 30)) << "state " << n;
    EXPECT_TRUE(live > 0 && live == skin::gdi::Live()) << "counted, the old images freed";
    EXPECT_EQ(0b1110, RegionMask(s.button, {{0, 0}, {1, 1}, {89, 15}, {45, 30}}));
}

int Brightness(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }

// Rows of caption ink in the last inked column of the Normal image: an H's
// stem spans the caption's height, the dot of an ellipsis does not.
int LastColumnInk(HWND b) {
    for (int x = kW - 5; x >= 4; --x) {
        int rows = 0;
        for (int y = 5; y < kH - 5; ++y) rows += Brightness(StatePixel(b, 0, x, y)) < 550;
        if (rows) return rows;
    }
    return 0;
}

int g_probeTries;

// Inside the open message box: it and its buttons skinned, the rest bordered.
void CALLBACK ProbeBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowW(L"#32770", L"提示");
    if (!(box && IsWindowVisible(box)) && ++g_probeTries < 200) return;
    KillTimer(nullptr, id);
    EXPECT_EQ(&skin::FormProc, CurrentProc(box));
    int buttons = 0;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const bool button = _wcsicmp(skin::WindowClassName(c).c_str(), L"button") == 0;
        buttons += button;
        EXPECT_EQ(button ? &skin::ButtonProc : &skin::FlatBorderProc, CurrentProc(c));
        EXPECT_TRUE(!button || (ButtonType(c) == BS_OWNERDRAW && Prop(c, L"HDC0")));
    }
    EXPECT_EQ(2, buttons);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

const wchar_t* const kProps[] = {L"OLDSTATE", L"ALPHALEVEL", L"MOUSEFLAG", L"TIMERID"};

// Per message: state, level and mouse flag before (no timer running); the
// same and the timer id after. A started fade runs to its end, 3 a tick.
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

// The real pointer over the button and away; a message box over the active
// form skinned while open; another thread's form left alone; each message.
TEST_F(SkinTest, PointerMessageBoxEachMessageAndItsFadeAndAClickDestroyingTheForm) {
    TestForm t(L"拨号", kW, kH, BS_DEFPUSHBUTTON);
    const HWND b = t.button, form = t.hwnd();
    for (const wchar_t* name : kProps) EXPECT_EQ(0, Prop(b, name));
    SetForegroundWindow(form);
    SetActiveWindow(form);
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == form; }, 3000));
    RECT r;
    GetWindowRect(b, &r);
    SetCursorPos(r.left + 20, r.top + 10);
    ASSERT_TRUE(PumpUntil([&] { return Prop(b, L"OLDSTATE") == skin::Hot; }, 3000));
    SetCursorPos(r.left + 20, r.top + 70);
    EXPECT_TRUE(PumpUntil([&] { return Prop(b, L"OLDSTATE") == skin::Normal; }, 3000)) << "WM_MOUSELEAVE";
    EXPECT_EQ(0, Prop(b, L"MOUSEFLAG"));
    g_probeTries = 0;
    SetTimer(nullptr, 0, 50, ProbeBox);
    EXPECT_EQ(IDOK, MessageBoxW(form, L"更新程序未找到", L"提示", MB_OKCANCEL | MB_ICONINFORMATION));
    std::atomic<HWND> other{nullptr};
    std::atomic<bool> checked{false};
    std::thread thread([&] {
        TestForm otherForm;
        other = otherForm.hwnd();
        PumpUntil([&] { return checked.load(); });
    });
    EXPECT_TRUE(PumpUntil([&] { return other != nullptr; }));
    EXPECT_EQ(0, skin::SkinWindow(other) + Prop(other, L"PROCADDR"));
    checked = true;
    thread.join();
    // The dialog manager moving the default look keeps it owner-drawn.
    SendMessageW(b, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(BS_OWNERDRAW, ButtonType(b));
    EXPECT_EQ(0b1110, RegionMask(b, {{0, 0}, {1, 1}, {64, 12}, {30, 24}})) << "rounded corners";
    HWND off = Add(form, L"Off", 10, 50, 65, 25, 8, WS_DISABLED);
    EXPECT_TRUE(skin::SkinWindow(off) == 1 && Prop(off, L"OLDSTATE") == skin::Disabled);
    for (const Row& r : kRows) {
        SCOPED_TRACE(&r - kRows);
        skin::StopFadeTimer(b);
        for (int i = 0; i < 3; ++i) SetPropW(b, kProps[i], reinterpret_cast<HANDLE>(r.before[i]));
        SendMessageW(b, r.msg, r.wParam, MAKELPARAM(5, 5));
        for (int i = 0; i < 4; ++i) EXPECT_EQ(r.after[i], Prop(b, kProps[i])) << static_cast<char>(kProps[i][0]);
        INT_PTR level = r.after[1];
        for (; r.after[3] && Prop(b, L"TIMERID") == 1 && level < 300; level += 3) {
            ASSERT_EQ(level, Prop(b, L"ALPHALEVEL"));
            SendMessageW(b, WM_TIMER, 1, 0);
        }
        EXPECT_TRUE(!r.after[3] || (level > 255 && level <= 258 && Prop(b, L"ALPHALEVEL") == 0)) << level;
        EXPECT_FALSE(KillTimer(b, 1)) << "no timer left running";
    }
    // The button's own procedure still made clicks of the mouse and the space key.
    EXPECT_EQ(2, t.clicks);
    SendMessageW(b, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(PumpUntil([&] { return Prop(b, L"ALPHALEVEL") > 50; }, 3000)) << "the real timer steps a fade";
    t.destroyOnClick = 7;
    SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_FALSE(IsWindow(b));
}

// Buttons anywhere on a form are skinned once, its other children get a
// flat border; detaching gives each its own procedure, style and region.
TEST_F(SkinTest, FormChildrenSkinnedOrBorderedOnceCaptionsFocusAndDetach) {
    TestForm form;
    HWND frame = plat::CreateFrame(form.hwnd(), {150, 150, 3000, 2000}, 20);
    HWND longer = Add(frame, std::wstring(36, L'H').c_str(), 10, 10, kW, kH, 21);
    HWND check = Add(frame, L"Box", 10, 50, 90, 20, 22, BS_AUTOCHECKBOX);
    HWND edit = Add(form.hwnd(), L"", 10, 170, 120, 22, 9, 0, L"Edit", WS_EX_CLIENTEDGE);
    HWND b = Add(form.hwnd(), L"HHHH", 220, 120, kW, kH, 25, BS_DEFPUSHBUTTON);
    const WNDPROC procs[] = {CurrentProc(form.hwnd()), CurrentProc(b), CurrentProc(edit)};
    EXPECT_EQ(1, skin::SkinWindow(form.hwnd()));
    const long live = skin::gdi::Live();
    EXPECT_EQ(0, skin::SkinWindow(form.hwnd()) + skin::SkinWindow(longer));
    EXPECT_TRUE(skin::SkinnedButtonCount() == 2 && skin::HookedFormCount() == 1 && skin::gdi::Live() == live);
    for (HWND other : {frame, check, edit}) EXPECT_EQ(&skin::FlatBorderProc, CurrentProc(other));
    EXPECT_EQ(BS_AUTOCHECKBOX, ButtonType(check)) << "check boxes keep their look";
    const auto plainShorter = Pixels(b, kW, kH), plainLonger = Pixels(longer, kW, kH);
    for (auto n = plainShorter.begin(); n != plainShorter.end(); n += kW * kH) {
        const COLORREF darkest =
            *std::min_element(n, n + kW * kH, [](COLORREF a, COLORREF c) { return Brightness(a) < Brightness(c); });
        EXPECT_EQ(n == plainShorter.end() - kW * kH ? 0x808080u : 0u, darkest) << "caption, grey when disabled";
    }
    EXPECT_GE(LastColumnInk(b), 6);
    EXPECT_LE(LastColumnInk(longer), 3) << "ellipsis";
    auto changed = [](HWND button, const std::vector<COLORREF>& was) {
        const auto now = Pixels(button, kW, kH);
        return std::inner_product(now.begin(), now.end(), was.begin(), 0, std::plus<>(), std::not_equal_to<>());
    };
    SetFocus(b);
    EXPECT_GT(changed(b, plainShorter), 4 * 60) << "a dotted rectangle on the focused button";
    SetFocus(longer);
    EXPECT_GT(changed(longer, plainLonger), 4 * 60);
    EXPECT_EQ(0, changed(b, plainShorter)) << "the rectangle went away";
    PumpMessages(50);
    plat::WindowDC whole(edit, plat::WindowDC::Whole);
    for (POINT p : {POINT{0, 0}, POINT{119, 21}, POINT{60, 0}}) EXPECT_EQ(0xD5A554u, GetPixel(whole.get(), p.x, p.y));
    EXPECT_EQ(0xFFFFFFu, GetPixel(whole.get(), 1, 1)) << "the rest of the sunken edge";
    EnableWindow(edit, FALSE);
    RedrawWindow(edit, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(0xCCCCCCu, GetPixel(whole.get(), 0, 0));
    // Detached in the middle of a fade.
    SendMessageW(b, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ValidateRect(b, nullptr);
    EXPECT_EQ(1, skin::DetachButton(b));
    EXPECT_EQ(procs[1], CurrentProc(b));
    EXPECT_EQ(BS_PUSHBUTTON, ButtonType(b)) << "plain, not default";
    EXPECT_EQ(-1, RegionMask(b, {})) << "no region";
    for (const wchar_t* name : kProps) EXPECT_EQ(0, Prop(b, name)) << static_cast<char>(name[0]);
    EXPECT_EQ(0, Prop(b, L"PROCADDR") + Prop(b, L"HDC0") + Prop(b, L"HDC3") + Prop(b, L"BMP0") + Prop(b, L"BMP3"));
    EXPECT_FALSE(KillTimer(b, 1)) << "fade timer stopped";
    EXPECT_TRUE(GetUpdateRect(b, nullptr, FALSE)) << "repaints itself";
    EXPECT_TRUE(skin::DetachFlatBorder(edit) + skin::DetachButton(longer) == 2 && CurrentProc(edit) == procs[2]);
    EXPECT_EQ(1, skin::DetachForm(form.hwnd()));
    EXPECT_EQ(procs[0], CurrentProc(form.hwnd()));
    EXPECT_FALSE(skin::EngineReady()) << "released after the last form";
    EXPECT_EQ(0, skin::DetachForm(form.hwnd()) + skin::DetachButton(b) + skin::AttachButton(nullptr));
}

}  // namespace
