// The skin engine on real windows: its template, a button's four state
// images, the message table and fades, attaching a form's children and
// detaching them, the spread to message boxes, GDI objects over many cycles.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/handles.h"
#include "platform/window.h"
#include "skin/engine.h"
#include "skin/gdi_objects.h"
#include "tests/support/testing.h"

namespace {

using testing_support::PumpUntil;

// A shown form of the programs' class counting its children's clicks; a
// click of destroyOnClick destroys it from inside the click.
class TestForm : public plat::Window {
public:
    TestForm() { CreateForm(L"skin", WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_VISIBLE, 0, 60, 60, 320, 240); }
    int clicks = 0, destroyOnClick = -1;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && ++clicks && LOWORD(wParam) == destroyOnClick)
            return DestroyWindow(hwnd()), 0;
        return Default(msg, wParam, lParam);
    }
};

// A child placed in pixels, a push button unless told otherwise.
HWND Add(HWND parent, const wchar_t* text, int x, int y, int w, int h, int id, DWORD style = BS_PUSHBUTTON,
         const wchar_t* cls = L"Button", DWORD exStyle = 0) {
    HWND hwnd = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(plat::DefaultFont()), FALSE);
    return hwnd;
}
HWND AddEdit(HWND parent, int x, int y) { return Add(parent, L"", x, y, 120, 22, 9, 0, L"Edit", WS_EX_CLIENTEDGE); }

// A form with one push button (id 7), skinned. Posted messages wait until a
// test pumps them, so a fade only advances when told.
struct OneButton {
    explicit OneButton(const wchar_t* caption = L"Dial", int w = 65, int h = 25, DWORD style = BS_PUSHBUTTON)
        : button(Add(form.hwnd(), caption, 10, 10, w, h, 7, style)) {
        SetFocus(form.hwnd());
        skin::SkinWindow(form.hwnd());
    }
    TestForm form;
    HWND button;
};

INT_PTR Prop(HWND hwnd, const wchar_t* name) { return reinterpret_cast<INT_PTR>(GetPropW(hwnd, name)); }
WNDPROC CurrentProc(HWND hwnd) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)); }
LONG ButtonType(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK; }
HDC StateDC(HWND b, int n) { return reinterpret_cast<HDC>(Prop(b, (L"HDC" + std::to_wstring(n)).c_str())); }
COLORREF StatePixel(HWND button, int state, int x, int y) { return GetPixel(StateDC(button, state), x, y); }
// Every pixel of a button's four state images, or of the template (button null).
std::vector<COLORREF> Pixels(HWND button, int w, int h) {
    std::vector<COLORREF> all;
    for (int i = 0; i < (button ? 4 : 1) * w * h; ++i)
        all.push_back(GetPixel(button ? StateDC(button, i / (w * h)) : skin::SkinTemplateDC(), i % w, i / w % h));
    return all;
}
// Template colour at column x of row r of state n's band.
COLORREF Tpl(int n, int x, int r) { return GetPixel(skin::SkinTemplateDC(), x, skin::kBandHeight * n + r); }

// Bit i set when points[i] lies in the window's region; -1 without a region.
int RegionMask(HWND hwnd, std::initializer_list<POINT> points) {
    plat::UniqueRegion rgn(CreateRectRgn(0, 0, 0, 0));
    int mask = GetWindowRgn(hwnd, rgn.get()) == ERROR ? -1 : 0, bit = 1;
    for (POINT p : points) mask |= mask >= 0 && PtInRegion(rgn.get(), p.x, p.y) ? bit : 0, bit <<= 1;
    return mask;
}

// Makes the form the active window (the activation-driven spread needs it).
bool Activate(HWND form) {
    SetForegroundWindow(form);
    SetActiveWindow(form);
    return PumpUntil([&] { return GetActiveWindow() == form; }, 3000);
}

// Every test starts and ends with the engine at rest.
class SkinTest : public ::testing::Test {
protected:
    void SetUp() override { plat::SetQuitWhenLastFormCloses(false); }
    void TearDown() override {
        testing_support::PumpMessages(20);
        EXPECT_TRUE(skin::SkinnedButtonCount() + skin::HookedFormCount() == 0 && !skin::EngineReady());
        EXPECT_EQ(0, skin::gdi::Live());
    }
};
using SkinRenderTest = SkinTest;
using SkinMessagesTest = SkinTest;
constexpr int kW = 65, kH = 25;

// x, y, colour: corners, the stretched column, cells where the two halves
// of a band are not mirror images.
const COLORREF kSamples[][3] = {
    {0, 0, 0xE6BA78},  {4, 10, 0xF9EAD7}, {8, 83, 0xD8D8D8}, {3, 0, 0xD58F1B},  {2, 18, 0xECD6BB},
    {6, 18, 0xECD5BB}, {8, 20, 0xE4B670}, {0, 21, 0xE6BA7A}, {4, 22, 0xFBC34C}, {6, 37, 0xF3D094},
    {7, 37, 0xF8BB3E}, {4, 47, 0xEED1AD}, {4, 57, 0xFBF1E0}, {1, 43, 0xE6A122}, {7, 43, 0xE6A123},
    {0, 63, 0xDCDCDC}, {3, 63, 0xBFBFBF}, {4, 73, 0xEEEEEE}, {1, 83, 0xD4D4D4},
};

TEST_F(SkinRenderTest, TemplateBuiltOnFirstUseReleasedWithLastWindowRebuiltTheSame) {
    EXPECT_EQ(nullptr, skin::SkinTemplateDC());
    auto t = std::make_unique<OneButton>(L"OK");
    ASSERT_TRUE(skin::EngineReady() && skin::UseUser32Tracking());
    HDC dc = skin::SkinTemplateDC();
    HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
    for (const auto& s : kSamples) EXPECT_EQ(s[2], GetPixel(dc, s[0], s[1])) << s[0] << ", " << s[1];
    const auto first = Pixels(nullptr, skin::kTemplateWidth, skin::kTemplateHeight);
    const long live = skin::gdi::Live();
    skin::BuildSkinTemplate();
    EXPECT_TRUE(dc == skin::SkinTemplateDC() && live == skin::gdi::Live()) << "built once only";
    t.reset();
    EXPECT_FALSE(skin::EngineReady());
    EXPECT_EQ(0u, GetObjectType(dc) + GetObjectType(bitmap));
    t = std::make_unique<OneButton>(L"OK");
    EXPECT_EQ(first, Pixels(nullptr, skin::kTemplateWidth, skin::kTemplateHeight)) << "rebuilt the same";
}

// Every pixel of every state image against the template cell feeding it:
// corners unchanged, edges repeating column 4, rows 5..15 stretched down
// the middle (row -1: only the first and last are certain). Below 8 x 10
// the corners overlap, later ones covering earlier ones, never mirrored.
TEST_F(SkinRenderTest, NinePieceStretchOfEveryStateAndSizePaintAndResize) {
    for (SIZE size : {SIZE{kW, kH}, SIZE{8, 10}, SIZE{6, 8}, SIZE{3, 4}, SIZE{8, 6}, SIZE{5, 10}}) {
        const int w = size.cx, h = size.cy;
        OneButton s(L"", w, h);
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
    // A paint shows the image of the current state.
    OneButton s(L"");
    testing_support::PumpMessages(100);
    SetPropW(s.button, L"OLDSTATE", reinterpret_cast<HANDLE>(INT_PTR{skin::Pressed}));
    RedrawWindow(s.button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    plat::WindowDC screen(s.button);
    for (int x = 4; x < kW - 4; ++x)
        EXPECT_TRUE(GetPixel(screen.get(), x, 5) == 0xEED1AD && GetPixel(screen.get(), x, kH - 6) == 0xFBF1E0) << x;
    // Resized: bigger images, the old ones freed, a new region.
    const long live = skin::gdi::Live();
    SetWindowPos(s.button, nullptr, 0, 0, 90, 31, SWP_NOMOVE | SWP_NOZORDER);
    for (int n = 0; n < 4; ++n) EXPECT_EQ(Tpl(n, 8, 20), StatePixel(s.button, n, 89, 30)) << "state " << n;
    EXPECT_EQ(live, skin::gdi::Live());
    EXPECT_EQ(0b1110, RegionMask(s.button, {{0, 0}, {1, 1}, {89, 15}, {45, 30}}));
}

int Brightness(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }

// Height of the caption's ink (far darker than any face) in the last six
// inked columns of the Normal image: an H reaches the caption's height, the
// dots of an ellipsis do not.
int TailHeight(HWND b) {
    auto ink = [b](int x, int y) {
        return x >= 4 && x < kW - 4 && y >= 5 && y < kH - 5 && Brightness(StatePixel(b, 0, x, y)) < 550;
    };
    int right = 0, top = kH, bottom = 0;
    for (int i = 0; i < kW * kH; ++i) right = ink(i % kW, i / kW) ? std::max(right, i % kW) : right;
    for (int i = 0; i < kW * kH; ++i)
        if (i % kW > right - 6 && ink(i % kW, i / kW)) top = std::min(top, i / kW), bottom = std::max(bottom, i / kW);
    return bottom - top + 1;
}

TEST_F(SkinRenderTest, CaptionColourPerStateEllipsisAndFocusRectangle) {
    TestForm form;
    HWND shorter = Add(form.hwnd(), L"HHHH", 10, 10, kW, kH, 1);
    HWND longer = Add(form.hwnd(), std::wstring(36, L'H').c_str(), 10, 50, kW, kH, 2);
    SetFocus(form.hwnd());
    skin::SkinWindow(form.hwnd());
    const auto plainShorter = Pixels(shorter, kW, kH), plainLonger = Pixels(longer, kW, kH);
    for (auto n = plainShorter.begin(); n != plainShorter.end(); n += kW * kH) {
        const COLORREF darkest =
            *std::min_element(n, n + kW * kH, [](COLORREF a, COLORREF b) { return Brightness(a) < Brightness(b); });
        EXPECT_EQ(n == plainShorter.end() - kW * kH ? 0x808080u : 0u, darkest) << "caption, grey when disabled";
    }
    EXPECT_GE(TailHeight(shorter), 6);
    EXPECT_LE(TailHeight(longer), 3) << "ellipsis";
    // A dotted rectangle on the focused button only.
    auto changed = [](HWND b, const std::vector<COLORREF>& was) {
        const auto now = Pixels(b, kW, kH);
        return std::inner_product(now.begin(), now.end(), was.begin(), 0, std::plus<>(), std::not_equal_to<>());
    };
    SetFocus(shorter);
    EXPECT_GT(changed(shorter, plainShorter), 4 * 60);
    EXPECT_EQ(0, changed(longer, plainLonger));
    SetFocus(longer);
    EXPECT_GT(changed(longer, plainLonger), 4 * 60);
    EXPECT_EQ(0, changed(shorter, plainShorter)) << "the rectangle went away";
}

// Forms like the dialer's (buttons, one disabled, an entry field) skinned,
// one button exercised, destroyed.
TEST_F(SkinRenderTest, ManyAttachDetachCyclesLeaveNoGdiObjects) {
    for (int i = 0; i < 150; ++i) {
        {
            TestForm form;
            const HWND b[] = {Add(form.hwnd(), L"拨号", 10, 10, 65, 25, 1, BS_DEFPUSHBUTTON),
                              Add(form.hwnd(), L"&About", 80, 10, 65, 25, 2, WS_DISABLED)};
            AddEdit(form.hwnd(), 10, 50);
            skin::SkinWindow(form.hwnd());
            for (UINT msg : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_TIMER, WM_LBUTTONUP}) SendMessageW(b[i % 2], msg, 1, 0);
            SetFocus(b[i % 2]);
            SetWindowPos(b[i % 2], nullptr, 0, 0, 70, 26, SWP_NOMOVE | SWP_NOZORDER);
            testing_support::PumpMessages(i % 5 ? 0 : 30);
        }
        ASSERT_TRUE(skin::gdi::Live() == 0 && !skin::EngineReady()) << "cycle " << i;
    }
    const auto counts = skin::gdi::Snapshot();
    EXPECT_GT(counts.created, 150 * 18);
    EXPECT_EQ(counts.created, counts.freed + counts.handedOver);
}

const wchar_t* const kProps[] = {L"OLDSTATE", L"ALPHALEVEL", L"MOUSEFLAG", L"TIMERID"};

// One row per message: state, level and mouse flag before (no timer
// running); the same and the timer id after.
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

TEST_F(SkinMessagesTest, AttachThenEachMessageDrivesTheProperties) {
    OneButton t(L"Dial", 65, 25, BS_DEFPUSHBUTTON);
    const HWND b = t.button, form = t.form.hwnd();
    EXPECT_TRUE(CurrentProc(b) == &skin::ButtonProc && CurrentProc(form) == &skin::FormProc);
    for (const wchar_t* name : kProps) EXPECT_EQ(0, Prop(b, name));
    // The dialog manager moving the default look keeps it owner-drawn.
    SendMessageW(b, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(BS_OWNERDRAW, ButtonType(b));
    EXPECT_EQ(0b1110, RegionMask(b, {{0, 0}, {1, 1}, {64, 12}, {30, 24}})) << "rounded corners";
    // One already disabled starts in its disabled state.
    HWND off = Add(form, L"Off", 10, 50, 65, 25, 8, WS_DISABLED);
    EXPECT_TRUE(skin::SkinWindow(off) == 1 && Prop(off, L"OLDSTATE") == skin::Disabled);
    for (const Row& r : kRows) {
        SCOPED_TRACE(&r - kRows);
        if (r.msg == WM_ENABLE || r.msg == WM_SETFOCUS) SetFocus(form);
        if (r.msg == WM_KILLFOCUS) SetFocus(b);
        skin::StopFadeTimer(b);
        for (int i = 0; i < 3; ++i) SetPropW(b, kProps[i], reinterpret_cast<HANDLE>(r.before[i]));
        const bool focus = r.msg == WM_SETFOCUS || r.msg == WM_KILLFOCUS;
        if (r.msg == WM_ENABLE) EnableWindow(b, static_cast<BOOL>(r.wParam));
        if (focus) SetFocus(r.msg == WM_SETFOCUS ? b : form);
        if (!focus && r.msg != WM_ENABLE) SendMessageW(b, r.msg, r.wParam, MAKELPARAM(5, 5));
        for (int i = 0; i < 4; ++i) EXPECT_EQ(r.after[i], Prop(b, kProps[i])) << static_cast<char>(kProps[i][0]);
    }
    // The button's own procedure still turned the mouse click and the space
    // key into clicks for the parent.
    EXPECT_EQ(2, t.form.clicks);
}

TEST_F(SkinMessagesTest, FadesEndAfterTheirTicksAndAClickMayDestroyTheForm) {
    const struct { UINT msg; WPARAM wParam; int start, ticks; } fades[] = {
        {WM_MOUSEMOVE, 0, 70, 62}, {WM_LBUTTONDOWN, MK_LBUTTON, 10, 82}, {WM_KEYDOWN, VK_SPACE, 50, 69},
        {WM_LBUTTONUP, 0, 0, 86}};
    OneButton t;
    const HWND b = t.button;
    for (const auto& f : fades) {
        SCOPED_TRACE(f.start);
        skin::StopFadeTimer(b);
        SetPropW(b, L"MOUSEFLAG", nullptr);
        SendMessageW(b, f.msg, f.wParam, MAKELPARAM(5, 5));
        int ticks = 0;
        for (; Prop(b, L"TIMERID") == 1 && ticks < 300; ++ticks) {
            ASSERT_EQ(f.start + 3 * ticks, Prop(b, L"ALPHALEVEL"));
            SendMessageW(b, WM_TIMER, 1, 0);
        }
        EXPECT_EQ(f.ticks, ticks);
        EXPECT_EQ(0, Prop(b, L"ALPHALEVEL"));
        EXPECT_FALSE(KillTimer(b, 1)) << "the timer was stopped";
    }
    // The real timer steps a fade; the form destroyed from a click ends it.
    SendMessageW(b, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(PumpUntil([&] { return Prop(b, L"ALPHALEVEL") > 50; }, 3000));
    t.form.destroyOnClick = 7;
    SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_FALSE(IsWindow(b));
    EXPECT_FALSE(skin::EngineReady());
}

// Buttons anywhere on a form are skinned once, its other children get a
// flat border; detaching gives each its own procedure, style and region.
TEST_F(SkinMessagesTest, FormChildrenSkinnedOrBorderedOnceThenDetached) {
    TestForm form;
    HWND frame = plat::CreateFrame(form.hwnd(), {150, 150, 3000, 2000}, 20);
    HWND inner = Add(frame, L"Inner", 10, 10, 65, 25, 21);
    HWND check = Add(frame, L"Box", 10, 50, 90, 20, 22, BS_AUTOCHECKBOX);
    HWND edit = AddEdit(form.hwnd(), 10, 170), b = Add(form.hwnd(), L"Top", 220, 120, 65, 25, 25, BS_DEFPUSHBUTTON);
    const WNDPROC procs[] = {CurrentProc(form.hwnd()), CurrentProc(b), CurrentProc(edit)};
    EXPECT_EQ(1, skin::SkinWindow(form.hwnd()));
    const long live = skin::gdi::Live();
    EXPECT_EQ(0, skin::SkinWindow(form.hwnd()) + skin::SkinWindow(inner));
    EXPECT_TRUE(skin::SkinnedButtonCount() == 2 && skin::HookedFormCount() == 1 && skin::gdi::Live() == live);
    for (HWND other : {frame, check, edit}) EXPECT_EQ(&skin::FlatBorderProc, CurrentProc(other));
    EXPECT_EQ(BS_AUTOCHECKBOX, ButtonType(check)) << "check boxes keep their look";
    // A sunken edge becomes a flat border.
    testing_support::PumpMessages(50);
    plat::WindowDC whole(edit, plat::WindowDC::Whole);
    for (POINT p : {POINT{0, 0}, POINT{119, 21}, POINT{60, 0}}) EXPECT_EQ(0xD5A554u, GetPixel(whole.get(), p.x, p.y));
    EXPECT_EQ(0xFFFFFFu, GetPixel(whole.get(), 1, 1)) << "the rest of the sunken edge";
    EnableWindow(edit, FALSE);
    RedrawWindow(edit, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(0xCCCCCCu, GetPixel(whole.get(), 0, 0));
    // Detached in the middle of a fade.
    const HGDIOBJ dc = GetPropW(b, L"HDC1"), bmp = GetPropW(b, L"BMP1");
    SendMessageW(b, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ValidateRect(b, nullptr);
    EXPECT_EQ(1, skin::DetachButton(b));
    EXPECT_EQ(procs[1], CurrentProc(b));
    EXPECT_EQ(BS_PUSHBUTTON, ButtonType(b)) << "plain, not default";
    EXPECT_EQ(-1, RegionMask(b, {})) << "no region";
    for (const wchar_t* name : kProps) EXPECT_EQ(0, Prop(b, name)) << static_cast<char>(name[0]);
    EXPECT_EQ(0, Prop(b, L"PROCADDR") + Prop(b, L"HDC0") + Prop(b, L"HDC3") + Prop(b, L"BMP0") + Prop(b, L"BMP3"));
    EXPECT_EQ(0u, GetObjectType(dc) + GetObjectType(bmp)) << "images freed";
    EXPECT_FALSE(KillTimer(b, 1)) << "fade timer stopped";
    EXPECT_TRUE(GetUpdateRect(b, nullptr, FALSE)) << "repaints itself";
    EXPECT_TRUE(skin::DetachFlatBorder(edit) + skin::DetachButton(inner) == 2 && CurrentProc(edit) == procs[2]);
    EXPECT_EQ(1, skin::DetachForm(form.hwnd()));
    EXPECT_EQ(procs[0], CurrentProc(form.hwnd()));
    EXPECT_FALSE(skin::EngineReady()) << "released after the last form";
    // Windows not attached, or gone, are refused.
    EXPECT_EQ(0, skin::ButtonProc(nullptr, WM_PAINT, 0, 0) + skin::FlatBorderProc(nullptr, WM_NCPAINT, 1, 0));
    EXPECT_EQ(0, skin::DetachForm(form.hwnd()) + skin::DetachButton(b) + skin::AttachButton(nullptr));
}

// What the probe saw inside the open message box.
struct { int tries, buttons, skinned, others, bordered; bool hooked; } g_probe;

void CALLBACK ProbeBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowW(L"#32770", L"提示");
    if (!(box && IsWindowVisible(box)) && ++g_probe.tries < 200) return;
    KillTimer(nullptr, id);
    g_probe.hooked = box && CurrentProc(box) == &skin::FormProc;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (_wcsicmp(skin::WindowClassName(c).c_str(), L"button") == 0)
            ++g_probe.buttons, g_probe.skinned +=
                CurrentProc(c) == &skin::ButtonProc && ButtonType(c) == BS_OWNERDRAW && Prop(c, L"HDC0");
        else
            ++g_probe.others, g_probe.bordered += CurrentProc(c) == &skin::FlatBorderProc;
    }
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

DWORD WINAPI OtherThreadForm(LPVOID param) {
    TestForm form;
    Add(form.hwnd(), L"x", 5, 5, 60, 24, 1);
    static_cast<std::atomic<HWND>*>(param)->store(form.hwnd());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

// A user on the active form: the real pointer over the button and away; a
// message box over the form, skinned while it is open; a help window and a
// form of another thread (not the engine's to subclass) left alone.
TEST_F(SkinMessagesTest, RealPointerAndWhatTheActiveFormSpreadsTo) {
    OneButton t(L"拨号");
    ASSERT_TRUE(Activate(t.form.hwnd()));
    RECT r;
    GetWindowRect(t.button, &r);
    SetCursorPos(r.left + 20, r.top + 10);
    ASSERT_TRUE(PumpUntil([&] { return Prop(t.button, L"OLDSTATE") == skin::Hot; }, 3000));
    SetCursorPos(r.left + 20, r.top + 70);
    EXPECT_TRUE(PumpUntil([&] { return Prop(t.button, L"OLDSTATE") == skin::Normal; }, 3000)) << "WM_MOUSELEAVE";
    EXPECT_EQ(0, Prop(t.button, L"MOUSEFLAG"));
    g_probe = {};
    SetTimer(nullptr, 0, 50, ProbeBox);
    EXPECT_EQ(IDOK, MessageBoxW(t.form.hwnd(), L"更新程序未找到", L"提示", MB_OKCANCEL | MB_ICONINFORMATION));
    EXPECT_TRUE(g_probe.hooked);
    EXPECT_EQ(2, g_probe.buttons);
    EXPECT_EQ(2, g_probe.skinned) << "OK and Cancel are skinned";
    EXPECT_TRUE(g_probe.others > 0 && g_probe.others == g_probe.bordered) << "the rest have flat borders";
    EXPECT_TRUE(skin::SkinnedButtonCount() == 1 && skin::HookedFormCount() == 1) << "the box detached when it closed";
    const WNDCLASSW wc{0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr), 0, 0, 0, 0, L"NewHelpClass"};
    RegisterClassW(&wc);
    HWND help = CreateWindowExW(0, L"NewHelpClass", L"help", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 200, 200, 120,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND inside = Add(help, L"x", 5, 5, 60, 24, 1);
    ASSERT_TRUE(Activate(help));
    EXPECT_EQ(0, Prop(help, L"PROCADDR") + Prop(inside, L"PROCADDR"));
    DestroyWindow(help);
    std::atomic<HWND> other{nullptr};
    DWORD tid = 0;
    plat::UniqueHandle thread(CreateThread(nullptr, 0, OtherThreadForm, &other, 0, &tid));
    ASSERT_TRUE(PumpUntil([&] { return other != nullptr; }, 5000));
    EXPECT_EQ(0, skin::SkinWindow(other) + Prop(other, L"PROCADDR"));
    EXPECT_TRUE(skin::SkinnedButtonCount() == 1 && skin::HookedFormCount() == 1);
    PostThreadMessageW(tid, WM_QUIT, 0, 0);
    WaitForSingleObject(thread.get(), 5000);
}

}  // namespace
