// The updater run: one update.exe process per cycle downloads from a raw
// loopback server and installs; every fourth answer is faulty, each fault in
// turn. After every cycle the dialer's exe is the old one or the new one,
// whole, and no updater is left running.
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/handles.h"
#include "tests/soak/harness.h"
#include "tests/support/testing.h"

namespace {

std::string Answer(const std::string& status, const std::string& body, bool length = true) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\n" +
           (length ? "Content-Length: " + std::to_string(body.size()) + "\r\n" : "") + "\r\n" + body;
}

struct UpdaterWatch {
    DWORD pid = 0;
    soak::Usage seen;  // the updater's own figures at its last message box
} g_watch;

// Answers the updater's boxes: No to starting the dialer, OK to the rest,
// noting what the updater holds while the box is up.
BOOL CALLBACK AnswerBox(HWND hwnd, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (pid != g_watch.pid || wcscmp(cls, L"#32770") || !IsWindowVisible(hwnd)) return TRUE;
    g_watch.seen.handles = soak::KernelHandles(pid);
    plat::UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    if (GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc)))
        g_watch.seen.privateKb = static_cast<long>(std::max(pmc.PrivateUsage, pmc.PagefileUsage) / 1024);
    const int id = GetDlgItem(hwnd, IDNO) ? IDNO : IDOK;
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, id)));
    return FALSE;
}
void CALLBACK AnswerBoxes(HWND, UINT, UINT_PTR, DWORD) { EnumWindows(AnswerBox, 0); }

BOOL CALLBACK CloseForm(HWND hwnd, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == g_watch.pid) PostMessageW(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

TEST(Soak, UpdaterCyclesWithFaults) {
    soak::RawServer server(VORNADEL_SOAK_HTTP_PORT);
    ASSERT_TRUE(server.listening()) << "port " << VORNADEL_SOAK_HTTP_PORT << " is taken";
    const std::wstring bin = testing_support::TestBinFolder(), folder = bin + L"\\soak";
    const std::wstring updater = folder + L"\\update.exe", dialer = folder + L"\\vornadel.exe";
    // Two programs that take turns as the new version.
    const std::string programs[] = {testing_support::ReadFileBytes(bin + L"\\bench\\minimal_window.exe"),
                                    testing_support::ReadFileBytes(bin + L"\\rasdial.exe")};
    const std::string& a = programs[0];
    const std::string faults[] = {
        Answer("200 OK", a.substr(0, a.size() / 2) + std::string(10, '\0')).substr(0, a.size() / 2 + 90),  // cut
        Answer("200 OK", a.substr(0, 3000), false),                                                      // cut, no length
        Answer("404 Not Found", "<html>404</html>"),
        Answer("200 OK", "<html>" + std::string(5000, 'x') + "</html>"),  // not a program
        "",                                                               // closed at once
        Answer("200 OK", a.substr(0, 64) + std::string(a.size() - 64, '\x7f')),  // "MZ" and junk
    };
    std::ofstream(dialer.c_str(), std::ios::binary | std::ios::trunc) << programs[1];
    std::string current = programs[1];
    const int cycles = soak::Scaled(300);
    int installed = 0, faulty = 0;
    soak::Usage start, end;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerBoxes);
    for (int i = 0; i < cycles; ++i) {
        SCOPED_TRACE("cycle " + std::to_string(i));
        const bool fault = i % 4 == 3;
        const std::string& next = programs[installed % 2 ? 1 : 0];
        server.Answer(fault ? faults[faulty % 6] : Answer("200 OK", next));
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        std::wstring cmd = L"\"" + updater + L"\"";
        ASSERT_TRUE(CreateProcessW(updater.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                   &si, &pi));
        plat::UniqueHandle process(pi.hProcess), thread(pi.hThread);
        g_watch = {pi.dwProcessId, {}};
        const long served = server.served();
        auto exited = [&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; };
        if (fault) {
            // The failed download stays on screen until the user closes it.
            testing_support::PumpUntil([&] { return server.served() > served; }, 15000);
            testing_support::PumpMessages(1500);
            EnumWindows(CloseForm, 0);
        }
        ASSERT_TRUE(testing_support::PumpUntil(exited, 30000)) << "the updater did not end";
        const std::string now = testing_support::ReadFileBytes(dialer);
        if (fault) {
            EXPECT_TRUE(now == current) << "a faulty download changed the program";
            ++faulty;
        } else {
            EXPECT_TRUE(now == next) << "the new program was not installed whole";
            current = now, ++installed;
            (installed == 1 ? start : end) = g_watch.seen;
        }
    }
    KillTimer(nullptr, timer);
    EXPECT_TRUE(start.handles > 0 && end.handles > 0) << "the updater's figures were taken";
    start.gdi = end.gdi = -1;  // another process's GDI objects cannot be counted under Wine
    soak::Report("updater (each process at its last box): installs, faulty answers",
                 std::to_string(installed) + ", " + std::to_string(faulty), start, end);
}

}  // namespace
