#include "updater/process_kill.h"

#include <gtest/gtest.h>

#include "tests/support/testing.h"
#include "tests/updater/updater_test_support.h"

using namespace updater_test;

namespace {

constexpr DWORD kClosedNormally = 7;  // the stand-in's exit code after WM_CLOSE
constexpr DWORD kTerminated = 0;      // the exit code the updater ends processes with

std::wstring FreshLog() {
    std::wstring path = testing_support::TempFolder() + L"\\vornadel-standin-" +
                        std::to_wstring(GetCurrentProcessId()) + L".log";
    DeleteFileW(path.c_str());
    return path;
}

}  // namespace

TEST(ProcessKill, NamesMatchWholeAndWithoutRegardToCase) {
    using updater::SameExecutableName;
    EXPECT_TRUE(SameExecutableName(L"vornadel.exe", L"vornadel.exe"));
    EXPECT_TRUE(SameExecutableName(L"VORNADEL.EXE", L"vornadel.exe"));
    EXPECT_TRUE(SameExecutableName(L"Vornadel.Exe", L"vornadel.exe"));
    EXPECT_FALSE(SameExecutableName(L"xvornadel.exe", L"vornadel.exe"));
    EXPECT_FALSE(SameExecutableName(L"vornadel.exe.bak", L"vornadel.exe"));
    EXPECT_FALSE(SameExecutableName(L"vornadel", L"vornadel.exe"));
    EXPECT_FALSE(SameExecutableName(L"", L"vornadel.exe"));
}

TEST(ProcessKill, EndsEveryMatchAndNothingElse) {
    const std::wstring log = FreshLog();
    Standin first(Standin::Dialer, true, log);
    Standin second(Standin::Dialer, true, log);
    Standin upper(Standin::DialerUpperCase, true, log);
    Standin other(Standin::OtherName, true, log);
    ASSERT_TRUE(first.started() && second.started() && upper.started() && other.started());

    auto found = updater::FindProcesses(L"vornadel.exe");
    EXPECT_EQ(found.size(), 3u);
    updater::KillProcess(L"vornadel.exe");
    EXPECT_EQ(first.WaitForExit(5000), kTerminated);
    EXPECT_EQ(second.WaitForExit(5000), kTerminated);
    EXPECT_EQ(upper.WaitForExit(5000), kTerminated);
    testing_support::PumpMessages(200);
    EXPECT_TRUE(other.Running()) << "a name that merely contains vornadel.exe was ended";
    EXPECT_TRUE(updater::FindProcesses(L"vornadel.exe").empty());
    DeleteFileW(log.c_str());
}

TEST(ProcessKill, DialersAskedToCloseRunTheirUnloadHandling) {
    const std::wstring log = FreshLog();
    Standin first(Standin::Dialer, false, log);
    Standin second(Standin::DialerUpperCase, false, log);
    Standin stubborn(Standin::Dialer, true, log);
    Standin other(Standin::OtherName, false, log);
    ASSERT_TRUE(first.started() && second.started() && stubborn.started() && other.started());

    EXPECT_EQ(updater::AskProcessesToClose(L"vornadel.exe"), 3);
    EXPECT_EQ(first.WaitForExit(5000), kClosedNormally);
    EXPECT_EQ(second.WaitForExit(5000), kClosedNormally);
    EXPECT_TRUE(LogHasLine(log, L"saved " + std::to_wstring(first.pid()) + L" Text1=宽带连接 Text2=user Text3=secret"));
    EXPECT_TRUE(LogHasLine(log, L"saved " + std::to_wstring(second.pid()) + L" Text1=宽带连接 Text2=user Text3=secret"));
    // One that does not listen is ended from outside.
    EXPECT_TRUE(stubborn.Running());
    updater::KillProcess(L"vornadel.exe");
    EXPECT_EQ(stubborn.WaitForExit(5000), kTerminated);
    EXPECT_TRUE(other.Running());
    EXPECT_FALSE(LogHasLine(log, L"saved " + std::to_wstring(other.pid()) + L" Text1=宽带连接 Text2=user Text3=secret"));
    DeleteFileW(log.c_str());
}

TEST(ProcessKill, NothingRunningIsNothingToDo) {
    EXPECT_TRUE(updater::FindProcesses(L"vornadel.exe").empty());
    EXPECT_EQ(updater::AskProcessesToClose(L"vornadel.exe"), 0);
    updater::KillProcess(L"vornadel.exe");
    updater::KillProcess(L"");
}
