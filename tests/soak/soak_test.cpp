// Long runs whose process must not grow with the work, and the settings-file fuzz.
#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/window.h"
#include "skin/engine.h"
#include "skin/gdi_objects.h"
#include "tests/dialer/dialer_fixture.h"
#include "tests/soak/harness.h"

namespace {

using testing_support::PumpUntil;
using Soak = Dialer;

struct Usage {
    long handles = 0, gdi = 0, privateKb = 0;  // negative: cannot be taken
};

// GetProcessHandleCount answers 0 under Wine.
long KernelHandles(DWORD pid) {
    static BYTE buffer[16 << 20];
    if (NtQuerySystemInformation(SystemHandleInformation, buffer, sizeof(buffer), nullptr) < 0) return -1;
    const auto* table = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer);
    return static_cast<long>(std::count_if(table->Handle, table->Handle + table->Count,
                                           [pid](const SYSTEM_HANDLE_ENTRY& e) { return e.OwnerPid == pid; }));
}

Usage Measure(DWORD pid = GetCurrentProcessId()) {
    Usage u{KernelHandles(pid), pid == GetCurrentProcessId() ? skin::gdi::Live() + plat::HeldGdiObjects() : -1, -1};
    plat::UniqueHandle h(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    PROCESS_MEMORY_COUNTERS pmc{};
    // The commit charge, the same as the private bytes; Wine fills in only the former.
    if (GetProcessMemoryInfo(h.get(), &pmc, sizeof(pmc))) u.privateKb = static_cast<long>(pmc.PagefileUsage / 1024);
    return u;
}

int Scaled(int full) { return std::getenv("VORNADEL_SOAK_FULL") ? full : full / 20; }

void Report(const char* run, const std::vector<long>& work, const Usage& start, const Usage& end) {
    std::string done;
    for (long n : work) done += (done.empty() ? "" : ", ") + std::to_string(n);
    std::printf("SOAK|%s|%s|%ld|%ld|%ld|%ld|%ld|%ld\n", run, done.c_str(), start.handles, end.handles, start.gdi,
                end.gdi, start.privateKb, end.privateKb);
    std::fflush(stdout);
    EXPECT_TRUE(start.handles > 0 && end.handles > 0) << run << ": the figures were not taken";
    EXPECT_LE(end.handles - start.handles, 8) << run << ": kernel handles grew";
    EXPECT_LE(end.gdi - start.gdi, 2) << run << ": GDI objects grew";
    EXPECT_LE(end.privateKb - start.privateKb, 2048) << run << ": private memory grew";
}

// Moves the stand-in's records aside, so that thousands of dials keep the file small; it writes unshared.
long DrainRecord(const std::wstring& path) {
    if (!MoveFileExW(path.c_str(), (path + L".old").c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
    const std::string lines = testing_support::ReadFileBytes(path + L".old");
    return static_cast<long>(std::count(lines.begin(), lines.end(), '\n'));
}

TEST_F(Soak, DialerRedialBalloonsAndTrayCycles) {
    ASSERT_TRUE(Open("Text2=user\r\nText3=secret\r\nVornadel2=1\r\n") && form_->RedialTimerEnabled());
    const int dials = Scaled(20000);
    long started = 0, ticks = 0, balloons = 0, cycles = 0;
    Usage start;
    for (int i = 0; started < dials; ++i) {
        if (i == dials / 20) start = Measure();
        // A tick that finds the last dial still running starts none.
        for (const long before = started; started == before; ++ticks) {
            Tick(dialer::kRedialTimerId);
            PumpUntil([&] { return (started += DrainRecord(record_.path())) > before; }, 300);
        }
        if (i % 10 == 0) {
            dialer::ShowBalloon(hwnd_, L"正在自动拨号中，请稍后......", L"ADSLZembrel", NIIF_INFO);
            balloons += dialer::LastTrayCallSucceeded();
        }
        if (i % 40 == 0) {
            TrayPress(WM_LBUTTONDOWN);
            cycles += Shown();
            SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        }
    }
    Report("dialer: re-dial ticks, dials started, balloons, tray hide/show", {ticks, started, balloons, cycles}, start,
           Measure());
}

struct Form : plat::Window {
    Form() { CreateForm(L"soak", WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_VISIBLE, 0, 60, 60, 340, 160); }
};

DWORD g_boxPid = 0;
int g_skinnedBoxes = 0;
Usage g_boxOwnerSeen;  // at its last message box

// No to the updater's offer to start the dialer, OK to the rest.
void CALLBACK AnswerBox(HWND, UINT, UINT_PTR, DWORD) {
    const HWND box = testing_support::FindWindowOf(g_boxPid, L"#32770", nullptr);
    if (!box || !IsWindowVisible(box)) return;
    g_boxOwnerSeen = Measure(g_boxPid);
    g_skinnedBoxes += reinterpret_cast<WNDPROC>(GetWindowLongPtrW(box, GWLP_WNDPROC)) == &skin::FormProc;
    const int id = GetDlgItem(box, IDNO) ? IDNO : IDOK;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

TEST_F(Soak, SkinFadesAndMessageBoxes) {
    Form form;
    const HWND b = plat::CreateControl(form.hwnd(), L"Button", L"连 接", WS_VISIBLE, 0, {150, 150, 975, 375}, 1);
    skin::SkinWindow(form.hwnd());
    // Each starts a fade, stepped part of the way or to its end before the next.
    const UINT moves[] = {WM_MOUSEMOVE, WM_MOUSELEAVE, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP};
    const int changes = Scaled(10000);
    Usage start;
    g_boxPid = GetCurrentProcessId();
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, AnswerBox);
    for (int i = 0; i < changes; ++i) {
        if (i == changes / 20) start = Measure();
        const UINT msg = moves[i % 5];
        SendMessageW(b, msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(5, 5));
        for (int step = i % 7 * 15; step > 0 && GetPropW(b, L"TIMERID"); --step)
            SendMessageW(b, WM_TIMER, 1, 0);
        if (i % 10 == 0) MessageBoxW(form.hwnd(), L"更新程序未找到", L"提示", MB_OKCANCEL | MB_ICONINFORMATION);
    }
    KillTimer(nullptr, timer);
    Report("skin: state changes with fades, skinned message boxes", {changes, g_skinnedBoxes}, start, Measure());
}

std::string Answer(const std::string& status, const std::string& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST_F(Soak, UpdaterCyclesWithFaults) {
    soak::RawServer server(VORNADEL_SOAK_HTTP_PORT);
    const std::wstring bin = testing_support::TestBinFolder(), folder = bin + L"\\soak";
    const std::wstring dialer = folder + L"\\vornadel.exe";
    const std::string programs[] = {testing_support::ReadFileBytes(bin + L"\\bench\\minimal_window.exe"),
                                    testing_support::ReadFileBytes(bin + L"\\rasdial.exe")};
    const std::string faults[] = {Answer("200 OK", programs[0]).substr(0, 3000), Answer("404 Not Found", "404"),
                                  Answer("200 OK", "MZ" + std::string(programs[0].size(), '\x7f'))};
    CopyFileW((bin + L"\\rasdial.exe").c_str(), dialer.c_str(), FALSE);
    int installed = 0;
    Usage start, end;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerBox);
    for (int i = 0; i < Scaled(300); ++i) {
        const bool fault = i % 4 == 3;
        const std::string &old = programs[(installed + 1) % 2], &next = programs[installed % 2];
        server.Answer(fault ? faults[i / 4 % 3] : Answer("200 OK", next));
        const long served = server.served();
        plat::UniqueHandle process = testing_support::StartProgram(L"\"" + folder + L"\\update.exe\"", folder.c_str());
        g_boxPid = GetProcessId(process.get());
        if (fault) {
            // The failed download stays on screen until the user closes it.
            PumpUntil([&] { return server.served() > served; }, 15000);
            testing_support::PumpMessages(1500);
            PostMessageW(testing_support::FindWindowOf(g_boxPid, plat::kFormClassName, nullptr), WM_CLOSE, 0, 0);
        }
        const bool ended = PumpUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 30000);
        if (!ended) TerminateProcess(process.get(), 1);  // else it holds the test's output open until the time-out
        ASSERT_TRUE(ended) << "the updater did not end";
        EXPECT_TRUE(testing_support::ReadFileBytes(dialer) == (fault ? old : next)) << "not the expected exe, whole";
        if (!fault) (++installed == 1 ? start : end) = g_boxOwnerSeen;
    }
    KillTimer(nullptr, timer);
    Report("updater (each process at its last box): installs, faulty answers", {installed, Scaled(300) - installed},
           start, end);
}

TEST_F(Dialer, SettingsFuzzOddShapesThenRandomAndMutatedFiles) {
    const std::string head = "[Option]\r\n";
    std::string big = head;
    while (big.size() < 10u << 20) big += "Filler" + std::to_string(big.size()) + "=" + std::string(90, 'x') + "\r\n";
    const std::wstring utf16 = L"\xFEFF[Option]\r\nText1=宽带连接2\r\nText2=用户\r\nText3=pw\r\n";
    // The odd shapes first, then the seeds: file 3 + n is seed n.
    std::vector<std::string> files = {
        big + "Text2=user\r\nText3=pw\r\n",
        std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2),
        head + "Text2=" + std::string(100000, 'a') + "\r\n" + std::string(100000, 'b') + "\r\nText3=pw\r\n",
        head + std::string("Text2=ab\0cd\r\n\0\0\0\r\nText3=p\0w\r\nText1=\0", 32) + "\r\n",
    };
    const std::string valid = head + "Text1=宽带连接\r\nText2=user\r\nText3=secret\r\nVornadel1=0\r\nVornadel2=1\r\n";
    for (int seed = 1; seed <= soak::FuzzBudget(30); ++seed) {
        soak::Random random(seed);
        files.push_back(seed % 2 ? random.Mutate(random.Mutate(valid))
                                  : (seed % 4 ? head : "") + random.Bytes(random.Below(4096)));
    }
    for (size_t i = 0; i < files.size() && !HasFailure(); ++i) {
        SCOPED_TRACE("file " + std::to_string(i));
        testing_support::WriteSettingsFileBytes(files[i]);
        // What the first run saved at its close, the second shows again.
        std::vector<std::wstring> runs[2];
        for (auto& fields : runs) {
            ASSERT_TRUE(Open()) << "the window did not open";
            for (int id = dialer::IDC_CONNECTION_NAME; id <= dialer::IDC_REDIAL_FLAG; ++id) {
                fields.push_back(Text(id));
                EXPECT_LE(plat::ToAnsi(fields.back()).size(), 127u) << "control " << id;
                for (wchar_t c : fields.back())
                    EXPECT_TRUE(c >= 0x20 || files[i].find(static_cast<char>(c)) != std::string::npos) << id;
            }
            Tick(dialer::kRedialTimerId);
            testing_support::PumpMessages(20);
            EXPECT_TRUE(IsWindow(hwnd_)) << "still running";
            form_->Unload();
        }
        EXPECT_EQ(runs[0], runs[1]) << "the saved settings changed";
    }
}

}  // namespace
