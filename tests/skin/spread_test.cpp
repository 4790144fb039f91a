// The engine spreads through activation: message boxes and further forms
// that meet an attached form are skinned; "newhelpclass" windows are not.
#include "tests/skin/skin_fixture.h"
#include "tests/support/testing.h"

namespace skin_test {
namespace {

using SpreadTest = SkinTest;

std::wstring LowerClass(HWND hwnd) {
    std::wstring c = skin::WindowClassName(hwnd);
    for (auto& ch : c) ch = static_cast<wchar_t>(towlower(ch));
    return c;
}

// What the probe saw inside the open message box.
struct BoxProbe {
    HWND dialog = nullptr;
    int tries = 0;
    int buttons = 0;
    int skinnedButtons = 0;
    int others = 0;
    int borderedOthers = 0;
    bool dialogHooked = false;
    LONG engineButtons = 0;
    LONG engineForms = 0;
};
BoxProbe g_probe;

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
    if (LowerClass(hwnd) == L"#32770" && IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(lParam) = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK InspectBoxChild(HWND child, LPARAM) {
    if (LowerClass(child) == L"button") {
        ++g_probe.buttons;
        if (HasProp(child, L"PROCADDR") && CurrentProc(child) == &skin::ButtonProc &&
            (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW && HasProp(child, L"HDC0"))
            ++g_probe.skinnedButtons;
    } else {
        ++g_probe.others;
        if (HasProp(child, L"PROCADDR") && CurrentProc(child) == &skin::FlatBorderProc) ++g_probe.borderedOthers;
    }
    return TRUE;
}

void CALLBACK ProbeBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    if (!box && ++g_probe.tries < 200) return;
    KillTimer(nullptr, id);
    if (!box) return;
    g_probe.dialog = box;
    g_probe.dialogHooked = HasProp(box, L"PROCADDR") && CurrentProc(box) == &skin::FormProc;
    g_probe.engineButtons = skin::SkinnedButtonCount();
    g_probe.engineForms = skin::HookedFormCount();
    EnumChildWindows(box, InspectBoxChild, 0);
    // Closing from inside: the box's own OK.
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(SpreadTest, MessageBoxOverSkinnedFormGetsSkinnedButtons) {
    TestForm form;
    AddButton(form.hwnd(), L"拨号", 10, 10, 65, 25, 1);
    skin::SkinWindow(form.hwnd());
    ASSERT_TRUE(Activate(form.hwnd()));

    g_probe = BoxProbe{};
    SetTimer(nullptr, 0, 50, ProbeBox);
    int answer = MessageBoxW(form.hwnd(), L"更新程序未找到", L"提示", MB_OKCANCEL | MB_ICONINFORMATION);
    EXPECT_EQ(IDOK, answer);
    ASSERT_NE(nullptr, g_probe.dialog) << "the message box was found";
    EXPECT_TRUE(g_probe.dialogHooked);
    EXPECT_EQ(2, g_probe.buttons);
    EXPECT_EQ(2, g_probe.skinnedButtons) << "OK and Cancel are skinned";
    EXPECT_GT(g_probe.others, 0);
    EXPECT_EQ(g_probe.others, g_probe.borderedOthers);
    EXPECT_EQ(3, g_probe.engineButtons);
    EXPECT_EQ(2, g_probe.engineForms);

    // The box detached itself when it closed.
    EXPECT_EQ(1, skin::SkinnedButtonCount());
    EXPECT_EQ(1, skin::HookedFormCount());
    EXPECT_TRUE(skin::EngineReady());
}

TEST_F(SpreadTest, FurtherFormActivatedNextToAttachedFormIsSkinned) {
    TestForm first;
    AddButton(first.hwnd(), L"A", 10, 10, 65, 25, 1);
    skin::SkinWindow(first.hwnd());
    ASSERT_TRUE(Activate(first.hwnd()));
    {
        TestForm second(200, 120, false);
        HWND b = AddButton(second.hwnd(), L"B", 10, 10, 65, 25, 1);
        ShowWindow(second.hwnd(), SW_SHOW);
        ASSERT_TRUE(Activate(second.hwnd()));
        EXPECT_TRUE(HasProp(second.hwnd(), L"PROCADDR"));
        EXPECT_EQ(&skin::ButtonProc, CurrentProc(b));
        EXPECT_EQ(2, skin::HookedFormCount());
        EXPECT_EQ(2, skin::SkinnedButtonCount());
        // Going back and forth attaches nothing twice.
        Activate(first.hwnd());
        Activate(second.hwnd());
        EXPECT_EQ(2, skin::HookedFormCount());
    }
    EXPECT_EQ(1, skin::HookedFormCount());
    EXPECT_EQ(1, skin::SkinnedButtonCount());
}

LRESULT CALLBACK HelpProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST_F(SpreadTest, NewHelpClassWindowIsLeftAlone) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HelpProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"NewHelpClass";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&wc);

    TestForm form;
    skin::SkinWindow(form.hwnd());
    ASSERT_TRUE(Activate(form.hwnd()));
    HWND help = CreateWindowExW(0, L"NewHelpClass", L"help", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 200, 200, 120,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND inside = AddButton(help, L"x", 5, 5, 60, 24, 1);
    ASSERT_TRUE(Activate(help));
    EXPECT_FALSE(HasProp(help, L"PROCADDR"));
    EXPECT_FALSE(HasProp(inside, L"PROCADDR"));
    EXPECT_EQ(1, skin::HookedFormCount());
    EXPECT_EQ(0, skin::SkinnedButtonCount());

    // The same when the form's procedure is told directly.
    skin::FormProc(form.hwnd(), WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(help));
    EXPECT_FALSE(HasProp(help, L"PROCADDR"));
    EXPECT_FALSE(HasProp(inside, L"PROCADDR"));
    DestroyWindow(help);
}

TEST_F(SpreadTest, ActivationAgainstOtherClassesAttachesNothing) {
    TestForm form;
    skin::SkinWindow(form.hwnd());
    HWND popup = CreateWindowExW(0, L"Static", L"x", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    HWND b = AddButton(popup, L"x", 5, 5, 30, 20, 1);
    skin::FormProc(form.hwnd(), WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(popup));
    skin::FormProc(form.hwnd(), WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(form.hwnd()));
    skin::FormProc(form.hwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_FALSE(HasProp(popup, L"PROCADDR"));
    EXPECT_FALSE(HasProp(b, L"PROCADDR"));
    EXPECT_EQ(1, skin::HookedFormCount());
    DestroyWindow(popup);
}

// A form of another thread is not ours to subclass.
DWORD WINAPI OtherThreadForm(LPVOID param) {
    auto* out = static_cast<HWND*>(param);
    TestForm form(200, 100, false);
    AddButton(form.hwnd(), L"x", 5, 5, 60, 24, 1);
    *out = form.hwnd();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

TEST_F(SpreadTest, WindowsOfOtherThreadsAreLeftAlone) {
    HWND other = nullptr;
    DWORD tid = 0;
    HANDLE thread = CreateThread(nullptr, 0, OtherThreadForm, &other, 0, &tid);
    ASSERT_TRUE(testing_support::PumpUntil([&] { return other != nullptr; }, 5000));
    TestForm form;
    skin::SkinWindow(form.hwnd());
    skin::FormProc(form.hwnd(), WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(other));
    EXPECT_EQ(0, skin::SkinWindow(other));
    EXPECT_FALSE(HasProp(other, L"PROCADDR"));
    EXPECT_EQ(1, skin::HookedFormCount());
    EXPECT_EQ(0, skin::SkinnedButtonCount());
    PostThreadMessageW(tid, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
}

}  // namespace
}  // namespace skin_test
