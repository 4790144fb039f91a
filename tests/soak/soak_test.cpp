// Long runs of the dialer and the skin engine: the work is repeated many
// times and what the process holds must not grow with it. In the suite each
// run is 1/20 of its size; scripts/soak.sh runs them whole.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "dialer/main_window.h"
#include "dialer/tray.h"
#include "platform/controls.h"
#include "platform/handles.h"
#include "platform/window.h"
#include "skin/engine.h"
#include "tests/soak/harness.h"
#include "tests/support/testing.h"

namespace {

using testing_support::PumpUntil;

INT_PTR Prop(HWND hwnd, const wchar_t* name) { return reinterpret_cast<INT_PTR>(GetPropW(hwnd, name)); }

// Counts the stand-in's records and empties the file, so that a run of
// thousands of dials keeps it small. The stand-in retries while we hold it.
long DrainRecord(const std::wstring& path) {
    plat::UniqueFile f(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) return 0;
    long lines = 0;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(f.get(), buf, sizeof(buf), &got, nullptr) && got > 0)
        for (DWORD i = 0; i < got; ++i) lines += buf[i] == '\n';
    SetFilePointer(f.get(), 0, nullptr, FILE_BEGIN);
    SetEndOfFile(f.get());
    return lines;
}

TEST(Soak, DialerRedialBalloonsAndTrayCycles) {
    plat::SetQuitWhenLastFormCloses(false);
    testing_support::CommandRecord record;
    testing_support::WriteSettingsFileBytes("[Option]\r\nText2=user\r\nText3=secret\r\nVornadel2=1\r\n");
    dialer::MainWindow* form = dialer::MainWindow::Create();
    ASSERT_TRUE(form && form->RedialTimerEnabled());
    EXPECT_GE(plat::HeldGdiObjects(), 2) << "the labels' font and the tray icon are counted";
    const HWND hwnd = form->hwnd();
    const int dials = soak::Scaled(20000), warmUp = dials / 20;
    ASSERT_TRUE(PumpUntil([&] { return DrainRecord(record.path()) > 0; }, 10000)) << "the start-up dial";
    long started = 0, ticks = 0, balloons = 0, cycles = 0;
    soak::Usage start;
    for (int i = 0; started < dials; ++i) {
        if (i == warmUp) start = soak::Measure();
        // One re-dial tick; a tick that found the last dial still running
        // starts none, and the next one is sent.
        const long before = started;
        while (started == before) {
            SendMessageW(hwnd, WM_TIMER, dialer::kRedialTimerId, 0);
            ++ticks;
            PumpUntil([&] { return (started += DrainRecord(record.path())) > before; }, 300);
        }
        if (i % 10 == 0 && balloons < dials / 10) {
            dialer::ShowBalloon(hwnd, L"正在自动拨号中，请稍后......", L"ADSLZembrel", NIIF_INFO);
            ASSERT_TRUE(dialer::LastTrayCallSucceeded());
            ++balloons;
        }
        if (i % 40 == 0 && cycles < dials / 40) {
            // The start-up dial left the window in the tray.
            SendMessageW(hwnd, kTrayCallbackMessage, dialer::kTrayIconId, WM_LBUTTONDOWN);
            ASSERT_TRUE(IsWindowVisible(hwnd) && !IsIconic(hwnd));
            SendMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
            ASSERT_FALSE(IsWindowVisible(hwnd));
            ++cycles;
        }
    }
    testing_support::PumpMessages(100);
    // A tick while the last dial still runs starts none; the real 3000 ms
    // timer ticks as well.
    soak::Report("dialer: re-dial ticks (dials started), balloons, tray hide/show",
                 std::to_string(ticks) + " (" + std::to_string(started) + "), " + std::to_string(balloons) + ", " +
                     std::to_string(cycles),
                 start, soak::Measure());
    form->Unload();
    EXPECT_FALSE(IsWindow(hwnd));
    testing_support::RemoveSettingsFile();
}

// A form like the dialer's: four push buttons and an entry field.
class ButtonForm : public plat::Window {
public:
    ButtonForm() {
        CreateForm(L"soak", WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_VISIBLE, 0, 60, 60, 340, 160);
        for (int i = 0; i < 4; ++i) buttons[i] = Add(L"Button", L"连 接", 10 + 80 * i, 10, 65, 25, BS_PUSHBUTTON);
        Add(L"Edit", L"", 10, 60, 200, 22, 0);
    }
    HWND buttons[4];

private:
    HWND Add(const wchar_t* cls, const wchar_t* text, int x, int y, int w, int h, DWORD style) {
        HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, hwnd(), nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(plat::DefaultFont()), FALSE);
        return c;
    }
};

struct BoxWatch {
    int skinned = 0, tries = 0;
} g_box;

// Closes the message box once it is up, noting whether the engine took it.
void CALLBACK CloseBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowW(L"#32770", L"提示");
    if (!(box && IsWindowVisible(box)) && ++g_box.tries < 500) return;
    KillTimer(nullptr, id);
    g_box.skinned += box && reinterpret_cast<WNDPROC>(GetWindowLongPtrW(box, GWLP_WNDPROC)) == &skin::FormProc;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST(Soak, SkinFadesAndMessageBoxes) {
    plat::SetQuitWhenLastFormCloses(false);
    ButtonForm form;
    skin::SkinWindow(form.hwnd());
    SetForegroundWindow(form.hwnd());
    // Enter, leave, enter, press, release: each a state change that starts a
    // fade, stepped part of the way or to its end before the next one.
    const UINT moves[] = {WM_MOUSEMOVE, WM_MOUSELEAVE, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP};
    int changes = 0, boxes = 0;
    auto change = [&] {
        const int i = changes++;
        const HWND b = form.buttons[i / 5 % 4];
        const INT_PTR before = Prop(b, L"OLDSTATE");
        SendMessageW(b, moves[i % 5], moves[i % 5] == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(5, 5));
        EXPECT_NE(before, Prop(b, L"OLDSTATE")) << "change " << i;
        for (int step = i % 7 * 15; step > 0 && Prop(b, L"TIMERID"); --step) SendMessageW(b, WM_TIMER, 1, 0);
    };
    auto box = [&] {
        ++boxes;
        SetTimer(nullptr, 0, 10, CloseBox);
        EXPECT_EQ(IDOK, MessageBoxW(form.hwnd(), L"更新程序未找到", L"提示", MB_OKCANCEL | MB_ICONINFORMATION));
    };
    const int changeCount = soak::Scaled(10000), boxCount = soak::Scaled(1000);
    g_box = {};
    while (changes < changeCount / 20) change();
    while (boxes < boxCount / 20) box();
    testing_support::PumpMessages(50);
    const soak::Usage start = soak::Measure();
    while (changes < changeCount) change();
    while (boxes < boxCount) box();
    testing_support::PumpMessages(50);
    EXPECT_EQ(boxes, g_box.skinned);
    soak::Report("skin: state changes with fades, message boxes",
                 std::to_string(changes) + ", " + std::to_string(g_box.skinned), start, soak::Measure());
}

}  // namespace
