// Long runs, where what the process holds must not grow with the work (in
// the suite each run is 1/20 of its size), and the settings-file fuzz.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "dialer/main_window.h"
#include "dialer/tray.h"
#include "platform/controls.h"
#include "platform/text.h"
#include "platform/window.h"
#include "skin/engine.h"
#include "tests/soak/harness.h"
#include "tests/support/testing.h"

namespace {

using testing_support::PumpUntil;

// Counts the stand-in's records and empties the file, so that thousands of
// dials keep it small. The stand-in retries while we hold it.
long DrainRecord(const std::wstring& path) {
    plat::UniqueFile f(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    long lines = 0;
    char buf[4096];
    for (DWORD got = 0; f && ReadFile(f.get(), buf, sizeof(buf), &got, nullptr) && got > 0;)
        lines += static_cast<long>(std::count(buf, buf + got, '\n'));
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
    const int dials = soak::Scaled(20000);
    ASSERT_TRUE(PumpUntil([&] { return DrainRecord(record.path()) > 0; }, 10000)) << "the start-up dial";
    long started = 0, ticks = 0, balloons = 0, cycles = 0;
    soak::Usage start;
    for (int i = 0; started < dials; ++i) {
        if (i == dials / 20) start = soak::Measure();
        // A tick that finds the last dial still running starts none.
        for (const long before = started; started == before; ++ticks) {
            SendMessageW(hwnd, WM_TIMER, dialer::kRedialTimerId, 0);
            PumpUntil([&] { return (started += DrainRecord(record.path())) > before; }, 300);
        }
        if (i % 10 == 0 && balloons < dials / 10) {
            dialer::ShowBalloon(hwnd, L"正在自动拨号中，请稍后......", L"ADSLZembrel", NIIF_INFO);
            ASSERT_TRUE(dialer::LastTrayCallSucceeded());
            ++balloons;
        }
        // The start-up dial left the window in the tray.
        if (i % 40 == 0 && cycles < dials / 40) {
            SendMessageW(hwnd, kTrayCallbackMessage, dialer::kTrayIconId, WM_LBUTTONDOWN);
            ASSERT_TRUE(IsWindowVisible(hwnd) && !IsIconic(hwnd));
            SendMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
            ASSERT_FALSE(IsWindowVisible(hwnd));
            ++cycles;
        }
    }
    testing_support::PumpMessages(100);
    soak::Report("dialer: re-dial ticks (dials started), balloons, tray hide/show",
                 std::to_string(ticks) + " (" + std::to_string(started) + "), " + std::to_string(balloons) + ", " +
                     std::to_string(cycles),
                 start, soak::Measure());
    form->Unload();
    testing_support::RemoveSettingsFile();
}

// Like the dialer's form: four push buttons and an entry field.
struct ButtonForm : plat::Window {
    ButtonForm() {
        CreateForm(L"soak", WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_VISIBLE, 0, 60, 60, 340, 160);
        for (int i = 0; i < 4; ++i)
            buttons[i] =
                plat::CreateControl(hwnd(), L"Button", L"连 接", WS_VISIBLE, 0, {150 + 1200 * i, 150, 975, 375}, i);
        plat::CreateControl(hwnd(), L"Edit", L"", WS_VISIBLE, 0, {150, 900, 3000, 330}, 9);
    }
    HWND buttons[4];
};

DWORD g_boxPid = 0;
int g_skinnedBoxes = 0;
soak::Usage g_boxOwnerSeen;  // at its last message box

// Answers a message box of g_boxPid once it is up: No to starting the
// dialer, OK to the rest.
void CALLBACK AnswerBox(HWND, UINT, UINT_PTR, DWORD) {
    const HWND box = testing_support::FindWindowOf(g_boxPid, L"#32770", nullptr);
    if (!box || !IsWindowVisible(box)) return;
    g_boxOwnerSeen = soak::Measure(g_boxPid);
    g_skinnedBoxes += reinterpret_cast<WNDPROC>(GetWindowLongPtrW(box, GWLP_WNDPROC)) == &skin::FormProc;
    const int id = GetDlgItem(box, IDNO) ? IDNO : IDOK;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

TEST(Soak, SkinFadesAndMessageBoxes) {
    plat::SetQuitWhenLastFormCloses(false);
    ButtonForm form;
    skin::SkinWindow(form.hwnd());
    SetForegroundWindow(form.hwnd());
    // Enter, leave, enter, press, release: each starts a fade, stepped part
    // of the way or to its end before the next one.
    const UINT moves[] = {WM_MOUSEMOVE, WM_MOUSELEAVE, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP};
    const int changeCount = soak::Scaled(10000), boxCount = soak::Scaled(1000);
    int changes = 0, boxes = 0;
    soak::Usage start;
    g_boxPid = GetCurrentProcessId();
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, AnswerBox);
    for (const int part : {20, 1}) {
        for (; changes < changeCount / part; ++changes) {
            const HWND b = form.buttons[changes / 5 % 4];
            const UINT msg = moves[changes % 5];
            const HANDLE before = GetPropW(b, L"OLDSTATE");
            SendMessageW(b, msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(5, 5));
            EXPECT_NE(before, GetPropW(b, L"OLDSTATE")) << "change " << changes;
            for (int step = changes % 7 * 15; step > 0 && GetPropW(b, L"TIMERID"); --step)
                SendMessageW(b, WM_TIMER, 1, 0);
        }
        for (; boxes < boxCount / part; ++boxes) {
            const int answer = MessageBoxW(form.hwnd(), L"更新程序未找到", L"提示", MB_OKCANCEL | MB_ICONINFORMATION);
            EXPECT_EQ(IDOK, answer);
        }
        testing_support::PumpMessages(50);
        if (part == 20) start = soak::Measure();
    }
    KillTimer(nullptr, timer);
    EXPECT_EQ(boxes, g_skinnedBoxes);
    soak::Report("skin: state changes with fades, message boxes",
                 std::to_string(changes) + ", " + std::to_string(g_skinnedBoxes), start, soak::Measure());
}

std::string Answer(const std::string& status, const std::string& body, bool length = true) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\n" +
           (length ? "Content-Length: " + std::to_string(body.size()) + "\r\n" : "") + "\r\n" + body;
}

// One update.exe per cycle; every fourth answer is faulty, each fault in
// turn. After every cycle the dialer's exe is the old one or the new one.
TEST(Soak, UpdaterCyclesWithFaults) {
    soak::RawServer server(VORNADEL_SOAK_HTTP_PORT);
    ASSERT_EQ(VORNADEL_SOAK_HTTP_PORT, server.port()) << "the port is taken";
    const std::wstring bin = testing_support::TestBinFolder(), folder = bin + L"\\soak";
    const std::wstring dialer = folder + L"\\vornadel.exe";
    // They take turns as the new version.
    const std::string programs[] = {testing_support::ReadFileBytes(bin + L"\\bench\\minimal_window.exe"),
                                    testing_support::ReadFileBytes(bin + L"\\rasdial.exe")};
    const std::string& a = programs[0];
    const std::string faults[] = {
        Answer("200 OK", a.substr(0, a.size() / 2) + std::string(10, '\0')).substr(0, a.size() / 2 + 90),  // cut
        Answer("200 OK", a.substr(0, 3000), false),  // cut, no length
        Answer("404 Not Found", "<html>404</html>"),
        Answer("200 OK", "<html>" + std::string(5000, 'x') + "</html>"),  // not a program
        "",  // closed at once
        Answer("200 OK", a.substr(0, 64) + std::string(a.size() - 64, '\x7f')),  // "MZ" and junk
    };
    std::ofstream(dialer.c_str(), std::ios::binary | std::ios::trunc) << programs[1];
    int installed = 0, faulty = 0;
    soak::Usage start, end;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerBox);
    for (int i = 0; i < soak::Scaled(300); ++i) {
        SCOPED_TRACE("cycle " + std::to_string(i));
        const bool fault = i % 4 == 3;
        const std::string &old = programs[(installed + 1) % 2], &next = programs[installed % 2];
        server.Answer(fault ? faults[faulty % 6] : Answer("200 OK", next));
        const long served = server.served();
        plat::UniqueHandle process = testing_support::StartProgram(L"\"" + folder + L"\\update.exe\"", folder.c_str());
        ASSERT_TRUE(process);
        g_boxPid = GetProcessId(process.get());
        g_boxOwnerSeen = {};
        if (fault) {
            // The failed download stays on screen until the user closes it.
            PumpUntil([&] { return server.served() > served; }, 15000);
            testing_support::PumpMessages(1500);
            PostMessageW(testing_support::FindWindowOf(g_boxPid, plat::kFormClassName, nullptr), WM_CLOSE, 0, 0);
        }
        ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 30000))
            << "the updater did not end";
        EXPECT_TRUE(testing_support::ReadFileBytes(dialer) == (fault ? old : next)) << "not the expected exe, whole";
        if (fault)
            ++faulty;
        else
            (++installed == 1 ? start : end) = g_boxOwnerSeen;
    }
    KillTimer(nullptr, timer);
    EXPECT_TRUE(start.handles > 0 && end.handles > 0) << "the updater's figures were taken";
    soak::Report("updater (each process at its last box): installs, faulty answers",
                 std::to_string(installed) + ", " + std::to_string(faulty), start, end);
}

// Twice: what the first run saved at its close, the second run shows again.
// wanted: name, account and password to be shown; null: any sane text.
void OpenOn(const std::string& file, const std::vector<const wchar_t*>& wanted) {
    testing_support::WriteSettingsFileBytes(file);
    std::vector<std::wstring> runs[2];
    for (auto& fields : runs) {
        dialer::MainWindow* form = dialer::MainWindow::Create();
        ASSERT_TRUE(form) << "the window did not open";
        const HWND hwnd = form->hwnd();
        for (size_t n = 0; n <= dialer::IDC_REDIAL_FLAG - dialer::IDC_CONNECTION_NAME; ++n) {
            fields.push_back(plat::WindowText(form->Control(dialer::IDC_CONNECTION_NAME + static_cast<int>(n))));
            EXPECT_LE(plat::ToAnsi(fields[n]).size(), 127u) << "field " << n + 1;
            for (wchar_t c : fields[n])
                EXPECT_TRUE(c >= 0x20 || file.find(static_cast<char>(c)) != std::string::npos) << "control " << int(c);
            if (n < wanted.size() && wanted[n]) {
                EXPECT_EQ(wanted[n], fields[n]) << "field " << n + 1;
            }
        }
        SendMessageW(hwnd, WM_TIMER, dialer::kRedialTimerId, 0);
        SendMessageW(hwnd, kTrayCallbackMessage, dialer::kTrayIconId, WM_LBUTTONDOWN);
        testing_support::PumpMessages(20);
        EXPECT_TRUE(IsWindow(hwnd) && IsWindowVisible(hwnd)) << "still running";
        form->Unload();
        EXPECT_FALSE(IsWindow(hwnd));
    }
    EXPECT_EQ(runs[0], runs[1]) << "the saved settings changed";
}

TEST(SettingsFuzz, OddShapesThenRandomAndMutatedFiles) {
    plat::SetQuitWhenLastFormCloses(false);
    testing_support::CommandRecord record;
    const std::string head = "[Option]\r\n";
    std::string big = head;
    while (big.size() < 10u << 20) big += "Filler" + std::to_string(big.size()) + "=" + std::string(90, 'x') + "\r\n";
    const std::wstring utf16 = L"\xFEFF[Option]\r\nText1=宽带连接2\r\nText2=用户\r\nText3=pw\r\n", a127(127, L'a');
    // The odd shapes first, then the seeds: file 4 + n is seed n.
    std::vector<std::pair<std::string, std::vector<const wchar_t*>>> files = {
        {big + "Text2=user\r\nText3=pw\r\n", {nullptr, L"user", L"pw"}},  // 10 MB, keys at the end
        {std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2), {L"宽带连接2", L"用户", L"pw"}},
        {head + "Text2=" + std::string(100000, 'a') + "\r\n" + std::string(100000, 'b') + "\r\nText3=pw\r\n",
         {nullptr, a127.c_str(), L"pw"}},  // 100,000-byte lines
        {head + std::string("Text2=ab\0cd\r\n\0\0\0\r\nText3=p\0w\r\nText1=\0", 32) + "\r\n", {}},  // NULs
        {head + "Text2=u\rText3=p\nText1=\xBF\r\n", {}},  // bare CR and LF, a lone byte
    };
    const std::string valid = head + "Text1=宽带连接\r\nText2=user\r\nText3=secret\r\nVornadel1=0\r\nVornadel2=1\r\n";
    for (int seed = 1; seed <= soak::FuzzBudget(30); ++seed) {
        soak::Random random(seed);
        files.push_back({seed % 2 ? random.Mutate(random.Mutate(valid))
                                  : (seed % 4 ? head : "") + random.Bytes(random.Below(4096)),
                         {}});
    }
    for (size_t i = 0; i < files.size() && !HasFailure(); ++i) {
        SCOPED_TRACE("file " + std::to_string(i));
        OpenOn(files[i].first, files[i].second);
    }
    testing_support::RemoveSettingsFile();
    testing_support::DeleteRunValue();
}

}  // namespace
