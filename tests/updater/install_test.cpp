// The install step waits three real seconds; these tests each run one whole
// update, so they are few and each checks everything its run shows.
#include "updater/install_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/text.h"
#include "platform/units.h"
#include "platform/window.h"
#include "tests/support/testing.h"
#include "tests/updater/updater_test_support.h"
#include "updater/download_window.h"
#include "updater/process_kill.h"

using testing_support::PumpMessages;
using testing_support::PumpUntil;
using namespace updater_test;

namespace {

constexpr DWORD kClosedNormally = 7;
constexpr DWORD kTerminated = 0;
const wchar_t kSavedFields[] = L" Text1=宽带连接 Text2=user Text3=secret";

std::wstring StandinExe() { return StandinFolder() + L"\\standin\\vornadel.exe"; }

std::wstring ImagePathOf(DWORD pid) {
    plat::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return {};
    wchar_t buf[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    if (!QueryFullProcessImageNameW(process.get(), 0, buf, &size)) return {};
    return std::wstring(buf, size);
}

// One whole update in this thread: download from the loopback server into a
// throw-away program folder, then the install window's run.
class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        log = testing_support::TempFolder() + L"\\vornadel-install-" + std::to_wstring(GetCurrentProcessId()) + L".log";
        DeleteFileW(log.c_str());
        SetEnvironmentVariableW(L"VORNADEL_STANDIN_LOG", log.c_str());
        ASSERT_TRUE(WriteFileBytes(Target(), kOldProgram));
    }
    void TearDown() override {
        SetFileAttributesW(Target().c_str(), FILE_ATTRIBUTE_NORMAL);
        if (IsWindow(download)) DestroyWindow(download);
        PumpMessages(20);
        EXPECT_EQ(plat::OpenFormCount(), 0);
        // A dialer the update started is ours to end.
        updater::KillProcess(L"vornadel.exe");
        DeleteFileW(log.c_str());
    }

    std::wstring Target() const { return folder.File(L"vornadel.exe"); }

    // Runs the update, answering the boxes in order; returns when the
    // updater's windows are all gone.
    void RunUpdate(std::vector<int> answers) {
        updater::DownloadOptions options;
        options.url = ServerUrl(L"/soft/updates/Vornadel/vornadel.exe");
        options.programFolder = folder.path();
        auto* form = updater::Form1::Create(options);
        ASSERT_NE(form, nullptr);
        download = form->hwnd();
        // The boxes record the status line of the download window.
        MessageBoxAnswerer answerer(std::move(answers), download);
        ASSERT_TRUE(PumpUntil([&] { return form->outcome() != updater::Form1::Outcome::Running; }, 30000));
        ASSERT_EQ(form->outcome(), updater::Form1::Outcome::Complete);
        completedAt = GetTickCount();
        statusAfterDownload = plat::WindowText(GetDlgItem(download, updater::IDC_LABEL3));
        installWindowCount = plat::OpenFormCount();
        HWND install = FindInstallWindow();
        installHidden = install && !IsWindowVisible(install);
        if (install) {
            RECT client{};
            GetClientRect(install, &client);
            installClient = {client.right, client.bottom};
            installCaption = plat::WindowText(install);
        }
        ASSERT_TRUE(PumpUntil(
            [&] {
                return !IsWindow(download) && plat::OpenFormCount() == 0;
            },
            30000));
        boxes = answerer.boxes();
        if (!boxes.empty()) {
            statusDuringBoxes = boxes[0].statusLine;
            firstBoxAt = boxes[0].shownAt;
        }
    }

    HWND FindInstallWindow() const {
        HWND found = nullptr;
        for (HWND w = FindWindowExW(nullptr, nullptr, plat::kFormClassName, nullptr); w;
             w = FindWindowExW(nullptr, w, plat::kFormClassName, nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == GetCurrentProcessId() && w != download) found = w;
        }
        return found;
    }

    std::vector<std::wstring> StartLines() const {
        std::vector<std::wstring> starts;
        for (const auto& line : ReadLogLines(log))
            if (line.rfind(L"start ", 0) == 0) starts.push_back(line);
        return starts;
    }

    const std::string kOldProgram = "MZ the old dialer";
    TempProgramFolder folder;
    std::wstring log;
    HWND download = nullptr;
    DWORD completedAt = 0, firstBoxAt = 0;
    std::wstring statusAfterDownload, statusDuringBoxes, installCaption;
    int installWindowCount = 0;
    bool installHidden = false;
    std::pair<LONG, LONG> installClient{-1, -1};
    std::vector<BoxRecord> boxes;
};

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

}  // namespace

TEST(InstallWindow, IsHiddenTinyAndRunsItsTimer) {
    auto* form = updater::Form2::Create(nullptr, L"C:\\nowhere\\vornadel.exe", L"C:\\nowhere");
    ASSERT_NE(form, nullptr);
    HWND hwnd = form->hwnd();
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_EQ(plat::WindowText(hwnd), L"Vornadel升级程序");
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, plat::TwipsToPixelsX(90));
    EXPECT_EQ(client.bottom, plat::TwipsToPixelsY(90));
    EXPECT_TRUE(form->Timer1Enabled());
    DestroyWindow(hwnd);
    EXPECT_EQ(plat::OpenFormCount(), 0);
}

TEST_F(InstallTest, EndsTheDialersReplacesTheProgramAndStartsItOnYes) {
    Standin polite(Standin::Dialer, false, log);
    Standin stubborn(Standin::Dialer, true, log);
    Standin upper(Standin::DialerUpperCase, true, log);
    Standin other(Standin::OtherName, false, log);
    ASSERT_TRUE(polite.started() && stubborn.started() && upper.started() && other.started());

    RunUpdate({IDOK, IDYES});
    EXPECT_EQ(statusAfterDownload, updater::kTextDownloadDone);
    EXPECT_EQ(installWindowCount, 2);
    EXPECT_TRUE(installHidden);
    EXPECT_EQ(installCaption, L"Vornadel升级程序");
    ExpectSuccessBoxes(boxes);
    EXPECT_EQ(statusDuringBoxes, L"正在复制文件......");

    // The one that listens closed by itself and saved its fields; the others
    // were ended; a name that only contains the dialer's was left alone.
    EXPECT_EQ(polite.WaitForExit(5000), kClosedNormally);
    EXPECT_TRUE(LogHasLine(log, L"saved " + std::to_wstring(polite.pid()) + kSavedFields));
    EXPECT_EQ(stubborn.WaitForExit(5000), kTerminated);
    EXPECT_EQ(upper.WaitForExit(5000), kTerminated);
    EXPECT_TRUE(other.Running());

    // The new program is in place, with nothing left over beside it.
    EXPECT_TRUE(ReadFileBytes(Target()) == ReadFileBytes(StandinExe()));
    EXPECT_EQ(FilesIn(folder.path()), (std::vector<std::wstring>{L"download", L"vornadel.exe"}));
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>{L"vornadel.exe"});

    // Yes started the new dialer from the updater's folder.
    ASSERT_TRUE(PumpUntil([&] { return StartLines().size() == 5; }, 10000));
    auto started = updater::FindProcesses(L"vornadel.exe");
    ASSERT_EQ(started.size(), 1u);
    std::wstring image = ImagePathOf(started[0]);
    EXPECT_EQ(CompareStringOrdinal(image.c_str(), -1, Target().c_str(), -1, TRUE), CSTR_EQUAL)
        << plat::ToAnsi(image);
}

TEST_F(InstallTest, WithNoDialerRunningTheCopyGoesAheadAndNoStartsNothing) {
    RunUpdate({IDOK, IDNO});
    ExpectSuccessBoxes(boxes);
    // The install step waits its three seconds after the download.
    EXPECT_GE(firstBoxAt - completedAt, 2900u);
    EXPECT_TRUE(ReadFileBytes(Target()) == ReadFileBytes(StandinExe()));
    PumpMessages(1000);
    EXPECT_TRUE(updater::FindProcesses(L"vornadel.exe").empty());
    EXPECT_TRUE(StartLines().empty());
}

TEST_F(InstallTest, LockedTargetKeepsTheOldProgramAndSaysSo) {
    plat::UniqueFile lock(CreateFileW(Target().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    RunUpdate({IDOK});
    lock.reset();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"提示");
    EXPECT_EQ(boxes[0].text, L"升级失败：原程序文件正在被使用，无法替换。\n原来的程序没有改动。");
    EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(boxes[0].hasIcon);
    EXPECT_EQ(ReadFileBytes(Target()), kOldProgram);
    EXPECT_EQ(FilesIn(folder.path()), (std::vector<std::wstring>{L"download", L"vornadel.exe"}));
    PumpMessages(500);
    EXPECT_TRUE(updater::FindProcesses(L"vornadel.exe").empty());
}

TEST_F(InstallTest, ReadOnlyTargetKeepsTheOldProgramAndSaysSo) {
    ASSERT_TRUE(SetFileAttributesW(Target().c_str(), FILE_ATTRIBUTE_READONLY));
    RunUpdate({IDOK});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"提示");
    EXPECT_EQ(boxes[0].text, L"升级失败：原程序文件是只读的，无法替换。\n原来的程序没有改动。");
    EXPECT_EQ(ReadFileBytes(Target()), kOldProgram);
    PumpMessages(500);
    EXPECT_TRUE(updater::FindProcesses(L"vornadel.exe").empty());
}

namespace {

struct ForeignBoxSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindForeignBox(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<ForeignBoxSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (pid == search->pid && lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForBoxOf(DWORD pid, HWND notThis, DWORD timeoutMs) {
    HWND found = nullptr;
    PumpUntil(
        [&] {
            ForeignBoxSearch search{pid, nullptr};
            EnumWindows(FindForeignBox, reinterpret_cast<LPARAM>(&search));
            found = search.found != notThis ? search.found : nullptr;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

std::wstring VersionString(const std::vector<char>& info, const wchar_t* name) {
    void* value = nullptr;
    UINT size = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
    if (!VerQueryValueW(info.data(), key.c_str(), &value, &size) || !value) return {};
    return static_cast<const wchar_t*>(value);
}

}  // namespace

// The program as built: its address, its own folder, a different current
// directory, and the message boxes answered from outside.
TEST_F(InstallTest, TheBuiltProgramUpdatesItsOwnFolder) {
    const std::wstring updater = folder.File(L"update.exe");
    ASSERT_TRUE(CopyFileW((StandinFolder() + L"\\loopback\\update.exe").c_str(), updater.c_str(), FALSE));
    Standin polite(Standin::Dialer, false, log);
    ASSERT_TRUE(polite.started());

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring cmdline = L"\"" + updater + L"\"";
    const std::wstring elsewhere = testing_support::TempFolder();
    ASSERT_TRUE(CreateProcessW(updater.c_str(), cmdline.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               elsewhere.c_str(), &si, &pi));
    plat::UniqueHandle process(pi.hProcess), thread(pi.hThread);

    HWND first = WaitForBoxOf(pi.dwProcessId, nullptr, 30000);
    ASSERT_NE(first, nullptr);
    BoxRecord success = ReadBox(first);
    PressBoxButton(first, IDOK);
    HWND second = WaitForBoxOf(pi.dwProcessId, first, 10000);
    ASSERT_NE(second, nullptr);
    BoxRecord question = ReadBox(second);
    PressBoxButton(second, IDNO);
    ExpectSuccessBoxes({success, question});

    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 10000));
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(polite.WaitForExit(5000), kClosedNormally);
    EXPECT_TRUE(ReadFileBytes(Target()) == ReadFileBytes(StandinExe()));
    EXPECT_TRUE(FileExists(folder.File(L"download\\vornadel.exe")));
    EXPECT_FALSE(FileExists(elsewhere + L"\\download\\vornadel.exe"));
    PumpMessages(500);
    EXPECT_TRUE(updater::FindProcesses(L"vornadel.exe").empty());

    // Its version block.
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(updater.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(updater.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000003u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000003u);
    EXPECT_EQ(VersionString(info, L"FileVersion"), L"1.00.0003");
    EXPECT_EQ(VersionString(info, L"ProductVersion"), L"1.00.0003");
    EXPECT_EQ(VersionString(info, L"InternalName"), L"Update");
    EXPECT_EQ(VersionString(info, L"FileDescription"), L"Brisquel在线升级程序");
}
