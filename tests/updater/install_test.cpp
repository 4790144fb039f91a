// Whole updates, each with the install step's real three-second wait: few
// runs, each checking everything it shows.
#include <gtest/gtest.h>

#include "platform/window.h"
#include "tests/updater/updater_test_support.h"
#include "updater/download_window.h"
#include "updater/process_kill.h"

using namespace updater_test;

namespace {

constexpr DWORD kClosedNormally = 7;  // the stand-in after WM_CLOSE
constexpr DWORD kEnded = 0;           // what the updater ends processes with

std::wstring NewProgram() { return testing_support::TestBinFolder() + L"\\updater\\standin\\vornadel.exe"; }

void ExpectSuccessBoxes(const std::vector<BoxRecord>& boxes) {
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, L"提示： ");
    EXPECT_EQ(boxes[0].text, L"恭喜你！程序已经升级成功，谢谢你的使用！");
    EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(boxes[0].hasIcon);
    EXPECT_EQ(boxes[1].title, L"提示");
    EXPECT_EQ(boxes[1].text, L"现在是否运行VornadelZembrel？");
    EXPECT_EQ(boxes[1].buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_FALSE(boxes[1].hasIcon);
}

class Install : public ::testing::Test {
protected:
    void SetUp() override { DeleteFileW(log.c_str()); }
    void TearDown() override {
        SetFileAttributesW(folder.File(L"vornadel.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(plat::OpenFormCount(), 0);
        updater::KillProcess(L"vornadel.exe");  // a dialer the update started
        DeleteFileW(log.c_str());
    }
    // One update in this thread, answering its boxes in order; returns once
    // the updater's windows are all gone.
    void RunUpdate(std::vector<int> answers) {
        auto* form = updater::Form1::Create({ServerUrl(L"/soft/updates/Vornadel/vornadel.exe"), folder.path(), true});
        ASSERT_NE(form, nullptr);
        HWND download = form->hwnd();
        MessageBoxAnswerer answerer(std::move(answers), GetCurrentProcessId(), form->Control(updater::IDC_LABEL3));
        ASSERT_TRUE(PumpUntil([&] { return form->outcome() != updater::Form1::Outcome::Running; }, 30000));
        ASSERT_EQ(form->outcome(), updater::Form1::Outcome::Complete);
        completedAt = GetTickCount();
        HWND install = nullptr;
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, plat::kFormClassName, nullptr));) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == GetCurrentProcessId() && w != download) install = w;
        }
        ASSERT_NE(install, nullptr);
        EXPECT_EQ(plat::OpenFormCount(), 2);
        EXPECT_FALSE(IsWindowVisible(install));  // the install window is never seen
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(download) && plat::OpenFormCount() == 0; }, 30000));
        boxes = answerer.boxes;
    }

    TempProgramFolder folder;
    std::wstring log = testing_support::TempFolder() + L"\\vornadel-install.log";
    DWORD completedAt = 0;
    std::vector<BoxRecord> boxes;
};

}  // namespace

TEST_F(Install, EndsTheDialersReplacesTheProgramAndStartsItOnYes) {
    Standin polite(L"standin\\vornadel.exe", false, log);
    Standin deaf(L"standin\\vornadel.exe", true, log);
    Standin upper(L"upper\\VORNADEL.EXE", true, log);
    Standin other(L"other\\xvornadel.exe", false, log);
    ASSERT_TRUE(polite.started() && deaf.started() && upper.started() && other.started());

    RunUpdate({IDOK, IDYES});
    ExpectSuccessBoxes(boxes);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].statusLine, L"正在复制文件......");
    EXPECT_GE(boxes[0].shownAt - completedAt, 2900u);  // the install step's wait

    // The one that listens closed itself and saved its fields; the others
    // were ended; a name that merely contains the dialer's was left alone.
    EXPECT_EQ(polite.WaitForExit(5000), kClosedNormally);
    EXPECT_TRUE(LogHasLine(log, L"saved " + std::to_wstring(polite.pid) + L" Text1=宽带连接 Text2=user Text3=secret"));
    EXPECT_EQ(deaf.WaitForExit(5000), kEnded);
    EXPECT_EQ(upper.WaitForExit(5000), kEnded);
    EXPECT_TRUE(other.Running());

    // The new program in place, nothing left beside it, and Yes started it from there.
    EXPECT_TRUE(ReadFileBytes(folder.File(L"vornadel.exe")) == ReadFileBytes(NewProgram()));
    EXPECT_EQ(FilesIn(folder.path()), (std::vector<std::wstring>{L"download", L"vornadel.exe"}));
    std::vector<DWORD> started;
    ASSERT_TRUE(PumpUntil([&] { return (started = updater::FindProcesses(L"vornadel.exe")).size() == 1; }, 10000));
    plat::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, started[0]));
    wchar_t image[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    ASSERT_TRUE(process && QueryFullProcessImageNameW(process.get(), 0, image, &size));
    EXPECT_EQ(CompareStringOrdinal(image, -1, folder.File(L"vornadel.exe").c_str(), -1, TRUE), CSTR_EQUAL);
}

TEST_F(Install, LockedOrReadOnlyTargetKeepsTheOldProgramAndSaysSo) {
    plat::UniqueFile lock(
        CreateFileW(folder.File(L"vornadel.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    RunUpdate({IDOK});
    lock.reset();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"提示");
    EXPECT_EQ(boxes[0].text, L"升级失败：原程序文件正在被使用，无法替换。\n原来的程序没有改动。");
    EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);

    ASSERT_TRUE(SetFileAttributesW(folder.File(L"vornadel.exe").c_str(), FILE_ATTRIBUTE_READONLY));
    RunUpdate({IDOK});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"升级失败：原程序文件是只读的，无法替换。\n原来的程序没有改动。");
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);
    EXPECT_EQ(FilesIn(folder.path()), (std::vector<std::wstring>{L"download", L"vornadel.exe"}));
    PumpMessages(500);
    EXPECT_TRUE(updater::FindProcesses(L"vornadel.exe").empty());
}

// The program as built, from another current directory, with no dialer
// running, its boxes answered from outside.
TEST_F(Install, TheBuiltProgramUpdatesItsOwnFolder) {
    const std::wstring updater = folder.File(L"update.exe");
    ASSERT_TRUE(CopyFileW((testing_support::TestBinFolder() + L"\\updater\\loopback\\update.exe").c_str(),
                          updater.c_str(), FALSE));
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring cmdline = L"\"" + updater + L"\"";
    const std::wstring elsewhere = testing_support::TempFolder();
    ASSERT_TRUE(CreateProcessW(updater.c_str(), cmdline.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               elsewhere.c_str(), &si, &pi));
    plat::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    {
        MessageBoxAnswerer answerer({IDOK, IDNO}, pi.dwProcessId);
        ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 40000));
        ExpectSuccessBoxes(answerer.boxes);
    }
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(ReadFileBytes(folder.File(L"vornadel.exe")) == ReadFileBytes(NewProgram()));
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>{L"vornadel.exe"});
    EXPECT_EQ(GetFileAttributesW((elsewhere + L"\\download\\vornadel.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    PumpMessages(1000);
    EXPECT_TRUE(updater::FindProcesses(L"vornadel.exe").empty());  // No started nothing

    auto v = testing_support::ReadVersionInfo(updater);
    ASSERT_TRUE(v.found);
    EXPECT_EQ(v.fileMS, 0x00010000u);
    EXPECT_EQ(v.fileLS, 3u);
    EXPECT_EQ(v.productMS, 0x00010000u);
    EXPECT_EQ(v.productLS, 3u);
    EXPECT_EQ(v.Text(L"FileVersion"), L"1.00.0003");
    EXPECT_EQ(v.Text(L"ProductVersion"), L"1.00.0003");
    EXPECT_EQ(v.Text(L"InternalName"), L"Update");
    EXPECT_EQ(v.Text(L"FileDescription"), L"Brisquel在线升级程序");
}
