// The engine spreads through activation: a message box over an attached
// form is skinned while it is open; "newhelpclass" windows are not.
#include <atomic>

#include "tests/skin/skin_fixture.h"

namespace skin_test {
namespace {

using SpreadTest = SkinTest;

// What the probe saw inside the open message box.
struct BoxProbe {
    HWND box = nullptr;
    int tries = 0, buttons = 0, skinnedButtons = 0, others = 0, borderedOthers = 0;
    bool hooked = false;
} g_probe;

BOOL CALLBACK FindBox(HWND hwnd, LPARAM) {
    if (skin::WindowClassName(hwnd) == L"#32770" && IsWindowVisible(hwnd)) g_probe.box = hwnd;
    return g_probe.box == nullptr;
}

BOOL CALLBACK InspectBoxChild(HWND child, LPARAM) {
    if (_wcsicmp(skin::WindowClassName(child).c_str(), L"button") == 0) {
        ++g_probe.buttons;
        g_probe.skinnedButtons += CurrentProc(child) == &skin::ButtonProc && ButtonType(child) == BS_OWNERDRAW &&
                                  Prop(child, L"HDC0") != 0;
    } else {
        ++g_probe.others;
        g_probe.borderedOthers += CurrentProc(child) == &skin::FlatBorderProc;
    }
    return TRUE;
}

void CALLBACK ProbeBox(HWND, UINT, UINT_PTR id, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), FindBox, 0);
    if (!g_probe.box && ++g_probe.tries < 200) return;
    KillTimer(nullptr, id);
    if (!g_probe.box) return;
    g_probe.hooked = CurrentProc(g_probe.box) == &skin::FormProc;
    EnumChildWindows(g_probe.box, InspectBoxChild, 0);
    PostMessageW(g_probe.box, WM_COMMAND, IDOK, 0);
}

TEST_F(SpreadTest, MessageBoxOverSkinnedFormGetsSkinnedButtons) {
    OneButton t(L"拨号");
    ASSERT_TRUE(Activate(t.form.hwnd()));
    g_probe = BoxProbe{};
    SetTimer(nullptr, 0, 50, ProbeBox);
    EXPECT_EQ(IDOK, MessageBoxW(t.form.hwnd(), L"更新程序未找到", L"提示", MB_OKCANCEL | MB_ICONINFORMATION));
    EXPECT_TRUE(g_probe.hooked);
    EXPECT_EQ(2, g_probe.buttons);
    EXPECT_EQ(2, g_probe.skinnedButtons) << "OK and Cancel are skinned";
    EXPECT_GT(g_probe.others, 0);
    EXPECT_EQ(g_probe.others, g_probe.borderedOthers);
    // The box detached itself when it closed.
    EXPECT_EQ(1, skin::SkinnedButtonCount());
    EXPECT_EQ(1, skin::HookedFormCount());
}

TEST_F(SpreadTest, NewHelpClassWindowIsLeftAlone) {
    const WNDCLASSW wc{0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr,
                       L"NewHelpClass"};
    RegisterClassW(&wc);
    TestForm form;
    skin::SkinWindow(form.hwnd());
    ASSERT_TRUE(Activate(form.hwnd()));
    HWND help = CreateWindowExW(0, L"NewHelpClass", L"help", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 200, 200, 120,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND inside = AddButton(help, L"x", 5, 5, 60, 24, 1);
    ASSERT_TRUE(Activate(help));
    EXPECT_EQ(0, Prop(help, L"PROCADDR"));
    EXPECT_EQ(0, Prop(inside, L"PROCADDR"));
    EXPECT_EQ(1, skin::HookedFormCount());
    EXPECT_EQ(0, skin::SkinnedButtonCount());
    DestroyWindow(help);
}

// Windows of another thread are not the engine's to subclass.
DWORD WINAPI OtherThreadForm(LPVOID param) {
    TestForm form;
    AddButton(form.hwnd(), L"x", 5, 5, 60, 24, 1);
    static_cast<std::atomic<HWND>*>(param)->store(form.hwnd());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

TEST_F(SpreadTest, WindowsOfOtherThreadsAreLeftAlone) {
    std::atomic<HWND> other{nullptr};
    DWORD tid = 0;
    HANDLE thread = CreateThread(nullptr, 0, OtherThreadForm, &other, 0, &tid);
    ASSERT_TRUE(testing_support::PumpUntil([&] { return other != nullptr; }, 5000));
    TestForm form;
    skin::SkinWindow(form.hwnd());
    EXPECT_EQ(0, skin::SkinWindow(other));
    EXPECT_EQ(0, Prop(other, L"PROCADDR"));
    EXPECT_EQ(0, skin::SkinnedButtonCount());
    PostThreadMessageW(tid, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
}

}  // namespace
}  // namespace skin_test
