// The button procedure's message table, fades, clicks, attach and detach.
#include <set>

#include "platform/controls.h"
#include "skin/gdi_objects.h"
#include "tests/skin/skin_fixture.h"
#include "tests/support/testing.h"

namespace skin_test {
namespace {

using MessagesTest = SkinTest;

struct State {
    INT_PTR oldState, alpha, mouse, timer;
};
State Read(HWND b) {
    return {Prop(b, L"OLDSTATE"), Prop(b, L"ALPHALEVEL"), Prop(b, L"MOUSEFLAG"), Prop(b, L"TIMERID")};
}

// A form with one push button, skinned. Posted messages are not pumped
// unless a test does it, so the fade timer only advances when told.
class OneButton {
public:
    explicit OneButton(DWORD type = BS_PUSHBUTTON) : form(new TestForm) {
        SetFocus(form->hwnd());
        previous = nullptr;
        button = AddButton(form->hwnd(), L"Dial", 10, 10, 65, 25, 7, type);
        previous = CurrentProc(button);
        skin::SkinWindow(form->hwnd());
    }
    std::unique_ptr<TestForm> form;
    HWND button;
    WNDPROC previous;
};

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

TEST_F(MessagesTest, AttachSetsPropertiesStyleRegionAndProcedure) {
    OneButton t(BS_DEFPUSHBUTTON);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(t.previous), Prop(t.button, L"PROCADDR"));
    EXPECT_EQ(&skin::ButtonProc, CurrentProc(t.button));
    State s = Read(t.button);
    EXPECT_EQ(0, s.oldState);
    EXPECT_EQ(0, s.alpha);
    EXPECT_EQ(0, s.mouse);
    EXPECT_EQ(0, s.timer);
    EXPECT_EQ(BS_OWNERDRAW, GetWindowLongW(t.button, GWL_STYLE) & BS_TYPEMASK);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(ERROR, GetWindowRgn(t.button, rgn));
    EXPECT_FALSE(PtInRegion(rgn, 0, 0));
    EXPECT_TRUE(PtInRegion(rgn, 1, 1));
    EXPECT_TRUE(PtInRegion(rgn, 64, 12));
    EXPECT_TRUE(PtInRegion(rgn, 30, 24));
    DeleteObject(rgn);
    EXPECT_EQ(1, skin::SkinnedButtonCount());
    EXPECT_EQ(1, skin::HookedFormCount());
    EXPECT_EQ(&skin::FormProc, CurrentProc(t.form->hwnd()));
}

TEST_F(MessagesTest, PointerEnterMakesHotAndTracksLeave) {
    OneButton t;
    SendMessageW(t.button, WM_MOUSEMOVE, 0, At(5, 5));
    State s = Read(t.button);
    EXPECT_EQ(skin::Hot, s.oldState);
    EXPECT_EQ(70, s.alpha);
    EXPECT_EQ(1, s.mouse);
    EXPECT_EQ(1, s.timer);
    // Moving on changes nothing.
    SetPropW(t.button, L"ALPHALEVEL", reinterpret_cast<HANDLE>(INT_PTR{100}));
    SendMessageW(t.button, WM_MOUSEMOVE, 0, At(6, 6));
    s = Read(t.button);
    EXPECT_EQ(skin::Hot, s.oldState);
    EXPECT_EQ(100, s.alpha);
}

TEST_F(MessagesTest, LeftButtonDownPressesAndStaysPressedWhileMoving) {
    OneButton t;
    SendMessageW(t.button, WM_MOUSEMOVE, 0, At(5, 5));
    SendMessageW(t.button, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    State s = Read(t.button);
    EXPECT_EQ(skin::Pressed, s.oldState);
    EXPECT_EQ(10, s.alpha);
    EXPECT_EQ(1, s.mouse);
    EXPECT_EQ(1, s.timer);
    SendMessageW(t.button, WM_MOUSEMOVE, MK_LBUTTON, At(8, 8));
    EXPECT_EQ(skin::Pressed, Read(t.button).oldState);
    EXPECT_EQ(10, Read(t.button).alpha);
    ReleaseCapture();
}

TEST_F(MessagesTest, LeftButtonUpAndLeaveReturnToNormal) {
    for (UINT msg : {UINT{WM_LBUTTONUP}, UINT{WM_MOUSELEAVE}}) {
        OneButton t;
        SendMessageW(t.button, WM_MOUSEMOVE, 0, At(5, 5));
        SendMessageW(t.button, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
        SendMessageW(t.button, WM_TIMER, 1, 0);
        SendMessageW(t.button, msg, 0, At(5, 5));
        State s = Read(t.button);
        EXPECT_EQ(skin::Normal, s.oldState) << msg;
        EXPECT_EQ(0, s.alpha) << msg;
        EXPECT_EQ(0, s.mouse) << msg;
        EXPECT_EQ(1, s.timer) << "the running timer carries on";
        // The next move makes it hot again.
        SendMessageW(t.button, WM_MOUSEMOVE, 0, At(5, 5));
        EXPECT_EQ(skin::Hot, Read(t.button).oldState);
        EXPECT_EQ(1, Read(t.button).mouse);
        ReleaseCapture();
    }
}

TEST_F(MessagesTest, SpaceKeyPressesAndReleases) {
    OneButton t;
    SetFocus(t.button);
    SendMessageW(t.button, WM_KEYDOWN, VK_SPACE, 0x00390001);
    State s = Read(t.button);
    EXPECT_EQ(skin::Pressed, s.oldState);
    EXPECT_EQ(50, s.alpha);
    EXPECT_EQ(1, s.timer);
    SetPropW(t.button, L"MOUSEFLAG", reinterpret_cast<HANDLE>(INT_PTR{1}));
    SendMessageW(t.button, WM_KEYUP, VK_SPACE, 0xC0390001);
    s = Read(t.button);
    EXPECT_EQ(skin::Normal, s.oldState);
    EXPECT_EQ(0, s.alpha);
    EXPECT_EQ(0, s.mouse);
    // The button's own procedure turned the key into a click.
    ASSERT_EQ(1u, t.form->commands.size());
    EXPECT_EQ(7, t.form->commands[0].id);
    EXPECT_EQ(BN_CLICKED, t.form->commands[0].code);
}

TEST_F(MessagesTest, OtherKeysChangeNothing) {
    OneButton t;
    SetFocus(t.button);
    SendMessageW(t.button, WM_TIMER, 1, 0);
    SendMessageW(t.button, WM_TIMER, 1, 0);
    const State before = Read(t.button);
    for (WPARAM key : {WPARAM{'A'}, WPARAM{VK_RETURN}, WPARAM{VK_DOWN}}) {
        SendMessageW(t.button, WM_KEYDOWN, key, 0);
        SendMessageW(t.button, WM_KEYUP, key, 0);
    }
    const State after = Read(t.button);
    EXPECT_EQ(before.oldState, after.oldState);
    EXPECT_EQ(before.alpha, after.alpha);
    EXPECT_EQ(before.mouse, after.mouse);
}

TEST_F(MessagesTest, FocusChangeRendersAndStartsFadeFromZero) {
    OneButton t;
    SetPropW(t.button, L"ALPHALEVEL", reinterpret_cast<HANDLE>(INT_PTR{77}));
    SetPropW(t.button, L"OLDSTATE", reinterpret_cast<HANDLE>(INT_PTR{1}));
    SetFocus(t.button);
    State s = Read(t.button);
    EXPECT_EQ(0, s.alpha);
    EXPECT_EQ(1, s.oldState) << "state unchanged";
    EXPECT_EQ(1, s.timer);
    SetPropW(t.button, L"ALPHALEVEL", reinterpret_cast<HANDLE>(INT_PTR{77}));
    SetFocus(t.form->hwnd());
    EXPECT_EQ(0, Read(t.button).alpha);
}

TEST_F(MessagesTest, EnableIsDrawnWithoutFade) {
    OneButton t;
    EnableWindow(t.button, FALSE);
    State s = Read(t.button);
    EXPECT_EQ(skin::Disabled, s.oldState);
    EXPECT_EQ(0, s.timer);
    EXPECT_EQ(0, s.alpha);
    EnableWindow(t.button, TRUE);
    s = Read(t.button);
    EXPECT_EQ(skin::Normal, s.oldState);
    EXPECT_EQ(0, s.timer);
}

TEST_F(MessagesTest, AnyTimerIdAdvancesTheFade) {
    OneButton t;
    SendMessageW(t.button, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    SendMessageW(t.button, WM_TIMER, 1, 0);
    EXPECT_EQ(13, Read(t.button).alpha);
    SendMessageW(t.button, WM_TIMER, 4242, 0);
    EXPECT_EQ(16, Read(t.button).alpha);
    ReleaseCapture();
}

struct FadeCase {
    const char* name;
    int start;
    int ticks;
};

// Drives the fade tick by tick: it runs for exactly `ticks` steps.
void CheckFadeLength(HWND b, const FadeCase& c) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.start, Read(b).alpha);
    ASSERT_EQ(1, Read(b).timer);
    for (int i = 1; i < c.ticks; ++i) {
        SendMessageW(b, WM_TIMER, 1, 0);
        ASSERT_EQ(c.start + 3 * i, Read(b).alpha) << "tick " << i;
        ASSERT_EQ(1, Read(b).timer) << "tick " << i;
    }
    EXPECT_LE(Read(b).alpha, 255);
    SendMessageW(b, WM_TIMER, 1, 0);
    EXPECT_EQ(0, Read(b).alpha);
    EXPECT_EQ(0, Read(b).timer);
    EXPECT_FALSE(KillTimer(b, 1)) << "the timer was stopped";
}

TEST_F(MessagesTest, FadeLengths) {
    {
        OneButton t;
        SendMessageW(t.button, WM_MOUSEMOVE, 0, At(5, 5));
        CheckFadeLength(t.button, {"hot", 70, 62});
        SendMessageW(t.button, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
        CheckFadeLength(t.button, {"pressed by mouse", 10, 82});
        SendMessageW(t.button, WM_LBUTTONUP, 0, At(5, 5));
        CheckFadeLength(t.button, {"normal", 0, 86});
        SendMessageW(t.button, WM_KEYDOWN, VK_SPACE, 0);
        CheckFadeLength(t.button, {"pressed by key", 50, 69});
        SendMessageW(t.button, WM_KEYUP, VK_SPACE, 0);
        CheckFadeLength(t.button, {"released key", 0, 86});
        ASSERT_EQ(t.button, GetFocus()) << "the press took the focus";
        SetFocus(t.form->hwnd());
        CheckFadeLength(t.button, {"focus lost", 0, 86});
        SetFocus(t.button);
        CheckFadeLength(t.button, {"focus gained", 0, 86});
        ReleaseCapture();
    }
}

TEST_F(MessagesTest, FadeRunsOnItsTimerAndStops) {
    OneButton t;
    testing_support::PumpMessages(30);
    SendMessageW(t.button, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    ReleaseCapture();
    const auto before = skin::gdi::Snapshot();
    ASSERT_EQ(1, Read(t.button).timer);
    EXPECT_TRUE(testing_support::PumpUntil([&] { return Read(t.button).timer == 0; }, 10000));
    EXPECT_EQ(0, Read(t.button).alpha);
    EXPECT_EQ(skin::Pressed, Read(t.button).oldState);
    const auto after = skin::gdi::Snapshot();
    EXPECT_GE(after.blends - before.blends, 82) << "one blend per step";
    EXPECT_FALSE(KillTimer(t.button, 1));
}

TEST_F(MessagesTest, StartAndStopFadeTimer) {
    OneButton t;
    EXPECT_EQ(0u, skin::StopFadeTimer(t.button)) << "no timer to stop";
    EXPECT_EQ(1u, skin::StartFadeTimer(t.button));
    EXPECT_EQ(0u, skin::StartFadeTimer(t.button)) << "already running";
    EXPECT_NE(0u, skin::StopFadeTimer(t.button));
    EXPECT_EQ(0, Read(t.button).timer);
}

TEST_F(MessagesTest, MouseClickStillReachesParent) {
    OneButton t;
    SendMessageW(t.button, WM_MOUSEMOVE, 0, At(10, 10));
    SendMessageW(t.button, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
    SendMessageW(t.button, WM_LBUTTONUP, 0, At(10, 10));
    ASSERT_EQ(1u, t.form->commands.size());
    EXPECT_EQ(7, t.form->commands[0].id);
    EXPECT_EQ(BN_CLICKED, t.form->commands[0].code);
    EXPECT_EQ(t.button, t.form->commands[0].from);
}

TEST_F(MessagesTest, ClickThatDestroysTheFormLeavesNothingBehind) {
    OneButton t;
    t.form->destroyOnClick = 7;
    HWND button = t.button;
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
    SendMessageW(button, WM_LBUTTONUP, 0, At(10, 10));
    EXPECT_FALSE(IsWindow(button));
    EXPECT_EQ(0, skin::SkinnedButtonCount());
    EXPECT_EQ(0, skin::HookedFormCount());
    EXPECT_FALSE(skin::EngineReady());
}

TEST_F(MessagesTest, DestroyDuringFadeIsSafe) {
    auto t = std::make_unique<OneButton>();
    testing_support::PumpMessages(20);
    SendMessageW(t->button, WM_MOUSEMOVE, 0, At(5, 5));
    testing_support::PumpMessages(40);  // a few real steps
    ASSERT_EQ(1, Read(t->button).timer);
    t.reset();
    testing_support::PumpMessages(100);
    EXPECT_EQ(0, skin::SkinnedButtonCount());
    EXPECT_FALSE(skin::EngineReady());
}

TEST_F(MessagesTest, DefaultButtonStyleChangesKeepOwnerDraw) {
    OneButton t;
    SendMessageW(t.button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_EQ(BS_OWNERDRAW, GetWindowLongW(t.button, GWL_STYLE) & BS_TYPEMASK);
    SendMessageW(t.button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(BS_OWNERDRAW, GetWindowLongW(t.button, GWL_STYLE) & BS_TYPEMASK);
}

TEST_F(MessagesTest, SkinWindowTwiceAttachesNothingMore) {
    TestForm form;
    AddButton(form.hwnd(), L"A", 10, 10, 65, 25, 1);
    AddButton(form.hwnd(), L"B", 10, 40, 65, 25, 2);
    EXPECT_EQ(1, skin::SkinWindow(form.hwnd()));
    EXPECT_EQ(2, skin::SkinnedButtonCount());
    EXPECT_EQ(1, skin::HookedFormCount());
    const long live = skin::gdi::Live();
    EXPECT_EQ(0, skin::SkinWindow(form.hwnd()));
    EXPECT_EQ(2, skin::SkinnedButtonCount());
    EXPECT_EQ(1, skin::HookedFormCount());
    EXPECT_EQ(live, skin::gdi::Live());
}

TEST_F(MessagesTest, SkinWindowOnAButtonAttachesIt) {
    TestForm form;
    HWND b = AddButton(form.hwnd(), L"A", 10, 10, 65, 25, 1);
    EXPECT_EQ(1, skin::SkinWindow(b));
    EXPECT_EQ(0, skin::SkinWindow(b));
    EXPECT_EQ(1, skin::SkinnedButtonCount());
    EXPECT_EQ(0, skin::HookedFormCount());
    DestroyWindow(b);
    EXPECT_EQ(0, skin::SkinnedButtonCount());
    EXPECT_FALSE(skin::EngineReady()) << "the last button released the template";
}

TEST_F(MessagesTest, ButtonInsideFrameIsSkinnedAndFrameBordered) {
    TestForm form;
    HWND frame = plat::CreateFrame(form.hwnd(), {150, 150, 3000, 2000}, 20);
    ASSERT_NE(nullptr, frame);
    HWND inner = AddButton(frame, L"Inner", 10, 10, 65, 25, 21);
    HWND check = AddButton(frame, L"Check", 10, 50, 100, 20, 22, BS_AUTOCHECKBOX);
    HWND radio = AddButton(frame, L"Radio", 10, 80, 100, 20, 23, BS_AUTORADIOBUTTON);
    HWND group = AddButton(form.hwnd(), L"Group", 220, 10, 80, 80, 24, BS_GROUPBOX);
    HWND edit = AddChild(form.hwnd(), L"Edit", L"text", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 10, 160, 120, 22, 25);
    skin::SkinWindow(form.hwnd());

    EXPECT_EQ(&skin::ButtonProc, CurrentProc(inner));
    EXPECT_EQ(&skin::FlatBorderProc, CurrentProc(frame));
    EXPECT_EQ(&skin::FlatBorderProc, CurrentProc(edit));
    for (HWND other : {check, radio, group}) {
        EXPECT_EQ(&skin::FlatBorderProc, CurrentProc(other)) << "check boxes, radios and groups keep their look";
        EXPECT_FALSE(HasProp(other, L"HDC0"));
        EXPECT_NE(BS_OWNERDRAW, GetWindowLongW(other, GWL_STYLE) & BS_TYPEMASK);
    }
    EXPECT_EQ(BS_AUTOCHECKBOX, GetWindowLongW(check, GWL_STYLE) & BS_TYPEMASK);
    EXPECT_EQ(1, skin::SkinnedButtonCount());
    // The check box still works.
    SendMessageW(check, BM_CLICK, 0, 0);
    EXPECT_EQ(BST_CHECKED, SendMessageW(check, BM_GETCHECK, 0, 0));
}

TEST_F(MessagesTest, FormWithoutButtons) {
    TestForm form;
    HWND edit = AddChild(form.hwnd(), L"Edit", L"", 0, WS_EX_CLIENTEDGE, 10, 10, 120, 22, 1);
    HWND label = AddChild(form.hwnd(), L"Static", L"label", 0, 0, 10, 40, 120, 22, 2);
    EXPECT_EQ(1, skin::SkinWindow(form.hwnd()));
    EXPECT_EQ(0, skin::SkinnedButtonCount());
    EXPECT_EQ(1, skin::HookedFormCount());
    EXPECT_EQ(&skin::FlatBorderProc, CurrentProc(edit));
    EXPECT_EQ(&skin::FlatBorderProc, CurrentProc(label));
    EXPECT_EQ(&skin::FormProc, CurrentProc(form.hwnd()));
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void RegisterPlain(const wchar_t* name) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

TEST_F(MessagesTest, ClassNamesComparedLowerCased) {
    RegisterPlain(L"ThunderRT6FormDC");
    RegisterPlain(L"ThunderRT6CommandButton");
    HWND form = CreateWindowExW(0, L"ThunderRT6FormDC", L"f", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND cmd = CreateWindowExW(0, L"ThunderRT6CommandButton", L"c", WS_CHILD | WS_VISIBLE, 5, 5, 60, 24, form,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(1, skin::SkinWindow(form));
    EXPECT_EQ(&skin::ButtonProc, CurrentProc(cmd));
    EXPECT_EQ(&skin::FormProc, CurrentProc(form));
    EXPECT_EQ(1, skin::SkinnedButtonCount());
    DestroyWindow(form);
    EXPECT_EQ(0, skin::SkinnedButtonCount());
    EXPECT_EQ(0, skin::HookedFormCount());
}

TEST_F(MessagesTest, DetachRestoresProcedureStyleAndRegion) {
    OneButton t(BS_DEFPUSHBUTTON);
    testing_support::PumpMessages(30);
    HDC dcs[4];
    HGDIOBJ bmps[4];
    static const wchar_t* const bmpNames[4] = {L"BMP0", L"BMP1", L"BMP2", L"BMP3"};
    for (int n = 0; n < 4; ++n) {
        dcs[n] = StateDC(t.button, n);
        bmps[n] = GetPropW(t.button, bmpNames[n]);
    }
    SendMessageW(t.button, WM_MOUSEMOVE, 0, At(5, 5));  // a fade is running
    ValidateRect(t.button, nullptr);

    EXPECT_EQ(1, skin::DetachButton(t.button));
    EXPECT_EQ(t.previous, CurrentProc(t.button));
    EXPECT_EQ(BS_PUSHBUTTON, GetWindowLongW(t.button, GWL_STYLE) & BS_TYPEMASK) << "plain, not default";
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(ERROR, GetWindowRgn(t.button, rgn)) << "no region";
    DeleteObject(rgn);
    for (const wchar_t* name : {L"PROCADDR", L"HDC0", L"HDC1", L"HDC2", L"HDC3", L"BMP0", L"BMP1", L"BMP2", L"BMP3",
                                L"MOUSEFLAG", L"TIMERID", L"OLDSTATE", L"ALPHALEVEL"})
        EXPECT_FALSE(HasProp(t.button, name)) << "property left: " << static_cast<char>(name[0]);
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(0u, GetObjectType(dcs[n])) << "HDC" << n << " freed";
        EXPECT_EQ(0u, GetObjectType(bmps[n])) << "BMP" << n << " freed";
    }
    EXPECT_FALSE(KillTimer(t.button, 1)) << "fade timer stopped";
    RECT update;
    EXPECT_TRUE(GetUpdateRect(t.button, &update, FALSE)) << "repaints itself";
    EXPECT_EQ(0, skin::SkinnedButtonCount());
    EXPECT_TRUE(skin::EngineReady()) << "the form is still attached";
    EXPECT_EQ(0, skin::DetachButton(t.button)) << "nothing left to detach";

    // Still a working button, and it can be skinned again.
    SendMessageW(t.button, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
    SendMessageW(t.button, WM_LBUTTONUP, 0, At(10, 10));
    EXPECT_EQ(1u, t.form->commands.size());
    EXPECT_EQ(1, skin::SkinWindow(t.button));
}

TEST_F(MessagesTest, DetachFormAndFlatBorder) {
    TestForm form;
    HWND edit = AddChild(form.hwnd(), L"Edit", L"", 0, WS_EX_CLIENTEDGE, 10, 10, 120, 22, 1);
    WNDPROC formProc = CurrentProc(form.hwnd());
    WNDPROC editProc = CurrentProc(edit);
    skin::SkinWindow(form.hwnd());
    EXPECT_EQ(1, skin::DetachFlatBorder(edit));
    EXPECT_EQ(editProc, CurrentProc(edit));
    EXPECT_FALSE(HasProp(edit, L"PROCADDR"));
    EXPECT_EQ(0, skin::DetachFlatBorder(edit));
    EXPECT_EQ(1, skin::DetachForm(form.hwnd()));
    EXPECT_EQ(formProc, CurrentProc(form.hwnd()));
    EXPECT_EQ(0, skin::HookedFormCount());
    EXPECT_FALSE(skin::EngineReady()) << "teardown after the last form";
    EXPECT_EQ(0, skin::DetachForm(form.hwnd()));
}

TEST_F(MessagesTest, ProceduresOnWindowsNotAttached) {
    HWND stat = CreateWindowExW(0, L"Static", L"x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(0, skin::ButtonProc(nullptr, WM_PAINT, 0, 0));
    EXPECT_EQ(0, skin::FormProc(nullptr, WM_ACTIVATE, 0, 0));
    EXPECT_EQ(0, skin::FlatBorderProc(nullptr, WM_NCPAINT, 1, 0));
    // Unattached: the default procedure answers.
    EXPECT_EQ(DefWindowProcW(stat, WM_GETTEXTLENGTH, 0, 0), skin::ButtonProc(stat, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(DefWindowProcW(stat, WM_GETTEXTLENGTH, 0, 0), skin::FormProc(stat, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(0, skin::DetachButton(stat));
    EXPECT_EQ(0, skin::DetachButton(nullptr));
    EXPECT_EQ(0, skin::AttachButton(nullptr));
    DestroyWindow(stat);
    EXPECT_EQ(0, skin::AttachButton(stat)) << "a destroyed window";
    EXPECT_EQ(0, skin::SkinnedButtonCount());
}

COLORREF WindowPixel(HWND hwnd, int x, int y) {
    HDC dc = GetWindowDC(hwnd);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return c;
}

TEST_F(MessagesTest, SunkenEdgeBecomesFlatBorder) {
    TestForm form;
    HWND edit = AddChild(form.hwnd(), L"Edit", L"", 0, WS_EX_CLIENTEDGE, 10, 10, 120, 22, 1);
    HWND flat = AddChild(form.hwnd(), L"Edit", L"", WS_BORDER, 0, 10, 50, 120, 22, 2);
    testing_support::PumpMessages(50);
    const COLORREF plainCorner = WindowPixel(flat, 0, 0);
    skin::SkinWindow(form.hwnd());
    testing_support::PumpMessages(50);
    EXPECT_EQ(skin::kFlatBorderEnabled, WindowPixel(edit, 0, 0));
    EXPECT_EQ(skin::kFlatBorderEnabled, WindowPixel(edit, 119, 21));
    EXPECT_EQ(skin::kFlatBorderEnabled, WindowPixel(edit, 60, 0));
    HDC client = GetDC(edit);
    const COLORREF bk = GetBkColor(client);
    ReleaseDC(edit, client);
    EXPECT_EQ(bk, WindowPixel(edit, 1, 1));
    EXPECT_EQ(bk, WindowPixel(edit, 2, 2));
    EXPECT_EQ(bk, WindowPixel(edit, 60, 1));
    EXPECT_EQ(plainCorner, WindowPixel(flat, 0, 0)) << "no client edge: unchanged";

    EnableWindow(edit, FALSE);
    RedrawWindow(edit, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(skin::kFlatBorderDisabled, WindowPixel(edit, 0, 0));
}

TEST_F(MessagesTest, RealPointerMakesHotAndLeavingMakesNormal) {
    TestForm form;
    HWND b = AddButton(form.hwnd(), L"Dial", 20, 20, 65, 25, 1);
    HWND other = AddButton(form.hwnd(), L"Other", 20, 120, 65, 25, 2);
    (void)other;
    skin::SkinWindow(form.hwnd());
    Activate(form.hwnd());
    RECT r;
    GetWindowRect(b, &r);
    SetCursorPos(r.left + 20, r.top + 10);
    ASSERT_TRUE(testing_support::PumpUntil([&] { return Read(b).oldState == skin::Hot; }, 3000))
        << "pointer over the button";
    EXPECT_EQ(1, Read(b).mouse);
    SetCursorPos(r.left + 20, r.top + 70);
    EXPECT_TRUE(testing_support::PumpUntil([&] { return Read(b).oldState == skin::Normal; }, 3000))
        << "WM_MOUSELEAVE after the pointer left";
    EXPECT_EQ(0, Read(b).mouse);
}

}  // namespace
}  // namespace skin_test
