// The button procedure's message table, fades, clicks, attach and detach,
// and the flat border of the other children.
#include "tests/skin/skin_fixture.h"

namespace skin_test {
namespace {

using MessagesTest = SkinTest;
const wchar_t* const kProps[] = {L"OLDSTATE", L"ALPHALEVEL", L"MOUSEFLAG", L"TIMERID"};

// One row per message: the properties before (state, level, mouse flag;
// no timer running) and after (the same and the timer id).
const struct Row {
    const char* what;
    UINT msg;
    WPARAM wParam;
    INT_PTR before[3], after[4];
} kRows[] = {
    {"pointer enters", WM_MOUSEMOVE, 0, {0, 0, 0}, {1, 70, 1, 1}},
    {"pointer moves on", WM_MOUSEMOVE, 0, {1, 100, 1}, {1, 100, 1, 0}},
    {"left button down", WM_LBUTTONDOWN, MK_LBUTTON, {1, 100, 1}, {2, 10, 1, 1}},
    {"moving while pressed", WM_MOUSEMOVE, MK_LBUTTON, {2, 40, 1}, {2, 40, 1, 0}},
    {"left button up", WM_LBUTTONUP, 0, {2, 40, 1}, {0, 0, 0, 1}},
    {"pointer leaves", WM_MOUSELEAVE, 0, {1, 40, 1}, {0, 0, 0, 1}},
    {"space down", WM_KEYDOWN, VK_SPACE, {0, 40, 0}, {2, 50, 0, 1}},
    {"space up", WM_KEYUP, VK_SPACE, {2, 40, 1}, {0, 0, 0, 1}},
    {"other key down", WM_KEYDOWN, 'A', {1, 40, 1}, {1, 40, 1, 0}},
    {"other key up", WM_KEYUP, VK_RETURN, {1, 40, 1}, {1, 40, 1, 0}},
    {"disabled", WM_ENABLE, FALSE, {0, 40, 0}, {3, 40, 0, 0}},
    {"enabled", WM_ENABLE, TRUE, {3, 40, 0}, {0, 40, 0, 0}},
    {"focus gained", WM_SETFOCUS, 0, {1, 77, 0}, {1, 0, 0, 1}},
    {"focus lost", WM_KILLFOCUS, 0, {1, 77, 0}, {1, 0, 0, 1}},
    {"fade step", WM_TIMER, 1, {2, 40, 0}, {2, 43, 0, 0}},
    {"fade step, any timer id", WM_TIMER, 4242, {2, 40, 0}, {2, 43, 0, 0}},
};

TEST_F(MessagesTest, AttachThenEachMessageDrivesTheProperties) {
    OneButton t(L"Dial", 65, 25, BS_DEFPUSHBUTTON);
    EXPECT_EQ(&skin::ButtonProc, CurrentProc(t.button));
    EXPECT_EQ(&skin::FormProc, CurrentProc(t.form.hwnd()));
    for (const wchar_t* name : kProps) EXPECT_EQ(0, Prop(t.button, name));
    EXPECT_EQ(BS_OWNERDRAW, ButtonType(t.button));
    // The dialog manager moving the default look keeps it owner-drawn.
    SendMessageW(t.button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(BS_OWNERDRAW, ButtonType(t.button));
    EXPECT_EQ(0b1110, RegionMask(t.button, {{0, 0}, {1, 1}, {64, 12}, {30, 24}})) << "rounded corners";
    EXPECT_EQ(1, skin::SkinnedButtonCount());
    EXPECT_EQ(1, skin::HookedFormCount());
    // One already disabled starts in its disabled state.
    HWND off = AddButton(t.form.hwnd(), L"Off", 10, 50, 65, 25, 8, BS_PUSHBUTTON | WS_DISABLED);
    EXPECT_EQ(1, skin::SkinWindow(off));
    EXPECT_EQ(skin::Disabled, Prop(off, L"OLDSTATE"));
    const HWND b = t.button, form = t.form.hwnd();
    for (const Row& r : kRows) {
        SCOPED_TRACE(r.what);
        if (r.msg == WM_ENABLE || r.msg == WM_SETFOCUS) SetFocus(form);
        if (r.msg == WM_KILLFOCUS) SetFocus(b);
        skin::StopFadeTimer(b);
        for (int i = 0; i < 3; ++i) SetPropW(b, kProps[i], reinterpret_cast<HANDLE>(r.before[i]));
        if (r.msg == WM_ENABLE)
            EnableWindow(b, static_cast<BOOL>(r.wParam));
        else if (r.msg == WM_SETFOCUS || r.msg == WM_KILLFOCUS)
            SetFocus(r.msg == WM_SETFOCUS ? b : form);
        else
            SendMessageW(b, r.msg, r.wParam, MAKELPARAM(5, 5));
        for (int i = 0; i < 4; ++i) EXPECT_EQ(r.after[i], Prop(b, kProps[i])) << static_cast<char>(kProps[i][0]);
    }
    // The button's own procedure still turned the mouse click and the space
    // key into clicks for the parent.
    EXPECT_EQ(2, t.form.clicks);
}

TEST_F(MessagesTest, FadeEndsAfterItsTicksAndStopsItsTimer) {
    const struct { UINT msg; WPARAM wParam; int start, ticks; } fades[] = {
        {WM_MOUSEMOVE, 0, 70, 62}, {WM_LBUTTONDOWN, MK_LBUTTON, 10, 82}, {WM_KEYDOWN, VK_SPACE, 50, 69},
        {WM_LBUTTONUP, 0, 0, 86}};
    OneButton t;
    for (const auto& f : fades) {
        SCOPED_TRACE(f.start);
        skin::StopFadeTimer(t.button);
        SetPropW(t.button, L"MOUSEFLAG", nullptr);
        SendMessageW(t.button, f.msg, f.wParam, MAKELPARAM(5, 5));
        int ticks = 0;
        for (; Prop(t.button, L"TIMERID") == 1 && ticks < 300; ++ticks) {
            ASSERT_EQ(f.start + 3 * ticks, Prop(t.button, L"ALPHALEVEL"));
            SendMessageW(t.button, WM_TIMER, 1, 0);
        }
        EXPECT_EQ(f.ticks, ticks);
        EXPECT_EQ(0, Prop(t.button, L"ALPHALEVEL"));
        EXPECT_FALSE(KillTimer(t.button, 1)) << "the timer was stopped";
    }
    // And on the real timer.
    SendMessageW(t.button, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(testing_support::PumpUntil([&] { return Prop(t.button, L"TIMERID") == 0; }, 10000));
    EXPECT_EQ(0, Prop(t.button, L"ALPHALEVEL"));
    ReleaseCapture();
}

TEST_F(MessagesTest, DestroyedFromItsClickOrDuringAFade) {
    auto t = std::make_unique<OneButton>();
    t->form.destroyOnClick = 7;
    SendMessageW(t->button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(t->button, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_FALSE(IsWindow(t->button));
    EXPECT_FALSE(skin::EngineReady());
    t = std::make_unique<OneButton>();
    SendMessageW(t->button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    testing_support::PumpMessages(40);  // a few real steps
    ASSERT_EQ(1, Prop(t->button, L"TIMERID"));
    t.reset();  // TearDown checks that nothing is left
}

COLORREF WindowPixel(HWND hwnd, int x, int y) {
    HDC dc = GetWindowDC(hwnd);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return c;
}

TEST_F(MessagesTest, FormChildrenAreSkinnedOrBorderedOnce) {
    TestForm form;
    HWND frame = plat::CreateFrame(form.hwnd(), {150, 150, 3000, 2000}, 20);
    HWND inner = AddButton(frame, L"Inner", 10, 10, 65, 25, 21);
    HWND check = AddButton(frame, L"Check", 10, 50, 100, 20, 22, BS_AUTOCHECKBOX);
    HWND group = AddButton(form.hwnd(), L"Group", 220, 10, 80, 80, 23, BS_GROUPBOX);
    HWND edit = AddChild(form.hwnd(), L"Edit", L"", 0, WS_EX_CLIENTEDGE, 10, 170, 120, 22, 24);
    AddButton(form.hwnd(), L"Top", 220, 120, 65, 25, 25);
    EXPECT_EQ(1, skin::SkinWindow(form.hwnd()));
    const long live = skin::gdi::Live();
    EXPECT_EQ(0, skin::SkinWindow(form.hwnd()));
    EXPECT_EQ(0, skin::SkinWindow(inner));
    EXPECT_EQ(2, skin::SkinnedButtonCount());
    EXPECT_EQ(1, skin::HookedFormCount());
    EXPECT_EQ(live, skin::gdi::Live());
    EXPECT_EQ(&skin::ButtonProc, CurrentProc(inner));
    for (HWND other : {frame, check, group, edit}) EXPECT_EQ(&skin::FlatBorderProc, CurrentProc(other));
    EXPECT_EQ(BS_AUTOCHECKBOX, ButtonType(check)) << "check boxes and group boxes keep their look";
    EXPECT_EQ(BS_GROUPBOX, ButtonType(group));
    SendMessageW(check, BM_CLICK, 0, 0);
    EXPECT_EQ(BST_CHECKED, SendMessageW(check, BM_GETCHECK, 0, 0));

    // A sunken edge becomes a flat border.
    testing_support::PumpMessages(50);
    for (POINT p : {POINT{0, 0}, POINT{119, 21}, POINT{60, 0}})
        EXPECT_EQ(skin::kFlatBorderEnabled, WindowPixel(edit, p.x, p.y));
    HDC client = GetDC(edit);
    EXPECT_EQ(GetBkColor(client), WindowPixel(edit, 1, 1)) << "the rest of the sunken edge";
    ReleaseDC(edit, client);
    EnableWindow(edit, FALSE);
    RedrawWindow(edit, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(skin::kFlatBorderDisabled, WindowPixel(edit, 0, 0));
    for (int i = 0; i < 100; ++i) SendMessageW(edit, WM_NCPAINT, 1, 0);
    EXPECT_EQ(live, skin::gdi::Live()) << "brushes freed";
}

TEST_F(MessagesTest, DetachRestoresProcedureStyleAndRegion) {
    TestForm form;
    const HWND b = AddButton(form.hwnd(), L"Dial", 10, 10, 65, 25, 7, BS_DEFPUSHBUTTON);
    const HWND edit = AddChild(form.hwnd(), L"Edit", L"", 0, WS_EX_CLIENTEDGE, 10, 50, 120, 22, 1);
    const WNDPROC procs[] = {CurrentProc(form.hwnd()), CurrentProc(b), CurrentProc(edit)};
    skin::SkinWindow(form.hwnd());
    const HGDIOBJ dc = GetPropW(b, L"HDC1"), bmp = GetPropW(b, L"BMP1");
    SendMessageW(b, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));  // a fade is running
    ValidateRect(b, nullptr);
    EXPECT_EQ(1, skin::DetachButton(b));
    EXPECT_EQ(procs[1], CurrentProc(b));
    EXPECT_EQ(BS_PUSHBUTTON, ButtonType(b)) << "plain, not default";
    EXPECT_EQ(-1, RegionMask(b, {})) << "no region";
    for (const wchar_t* name : {L"PROCADDR", L"HDC0", L"HDC3", L"BMP0", L"BMP3", L"MOUSEFLAG", L"TIMERID",
                                L"OLDSTATE", L"ALPHALEVEL"})
        EXPECT_EQ(nullptr, GetPropW(b, name)) << static_cast<char>(name[0]);
    EXPECT_EQ(0u, GetObjectType(dc) + GetObjectType(bmp)) << "images freed";
    EXPECT_FALSE(KillTimer(b, 1)) << "fade timer stopped";
    EXPECT_TRUE(GetUpdateRect(b, nullptr, FALSE)) << "repaints itself";
    EXPECT_EQ(0, skin::DetachButton(b));
    EXPECT_EQ(1, skin::DetachFlatBorder(edit));
    EXPECT_EQ(procs[2], CurrentProc(edit));
    EXPECT_EQ(1, skin::DetachForm(form.hwnd()));
    EXPECT_EQ(procs[0], CurrentProc(form.hwnd()));
    EXPECT_FALSE(skin::EngineReady()) << "released after the last form";
    // Windows not attached, or gone, are refused.
    EXPECT_EQ(0, skin::ButtonProc(nullptr, WM_PAINT, 0, 0) + skin::FlatBorderProc(nullptr, WM_NCPAINT, 1, 0));
    EXPECT_EQ(0, skin::DetachForm(form.hwnd()) + skin::DetachButton(nullptr) + skin::AttachButton(nullptr));
}

TEST_F(MessagesTest, RealPointerMakesHotAndLeavingMakesNormal) {
    OneButton t;
    Activate(t.form.hwnd());
    RECT r;
    GetWindowRect(t.button, &r);
    SetCursorPos(r.left + 20, r.top + 10);
    ASSERT_TRUE(testing_support::PumpUntil([&] { return Prop(t.button, L"OLDSTATE") == skin::Hot; }, 3000));
    SetCursorPos(r.left + 20, r.top + 70);
    EXPECT_TRUE(testing_support::PumpUntil([&] { return Prop(t.button, L"OLDSTATE") == skin::Normal; }, 3000))
        << "WM_MOUSELEAVE after the pointer left";
    EXPECT_EQ(0, Prop(t.button, L"MOUSEFLAG"));
}

}  // namespace
}  // namespace skin_test
