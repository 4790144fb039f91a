// Whole updates, each with the install step's real three-second wait: few
// runs, each checking everything it shows.
#include <gtest/gtest.h>

#include "platform/window.h"
#include "tests/updater/updater_test_support.h"
#include "updater/download_window.h"
#include "updater/file_replace.h"
#include "updater/process_kill.h"
#include "updater/program_version.h"

using namespace updater_test;

class Install : public ::testing::Test {
protected:
    void TearDown() override {
        updater::SetAfterBackupHookForTesting(nullptr);
        SetFileAttributesW(folder.File(L"vornadel.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
        updater::KillProcess(folder.File(L"vornadel.exe"));  // a dialer the update started
    }
    TempProgramFolder folder;
};

static void OccupyWithFolder(const std::wstring& target) { CreateDirectoryW(target.c_str(), nullptr); }

// Ways an install fails, each with a polite dialer running: afterwards the
// old program is where the message says, and the dialer runs again unless the
// message names the folder for the user to act.
struct FailureCase {
    const char* name;
    const wchar_t* says;
    const wchar_t* oldProgramIn;
    bool dialerRestarted;
    std::vector<std::wstring> files;
    friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }
};

const FailureCase kFailures[] = {
    {"Locked", L"正在被使用", L"vornadel.exe", true, {L"download", L"standin.log", L"vornadel.exe"}},
    {"ReadOnly", L"只读", L"vornadel.exe", true, {L"download", L"standin.log", L"vornadel.exe"}},
    // Another program of the user puts its own file in the download's place after the checks.
    {"ChangedAfterTheChecks", L"下载的文件在校验之后被改动过", L"vornadel.exe", true,
     {L"download", L"standin.log", L"vornadel.exe"}},
    {"NoWayBack", L"\\vornadel.exe.old，请手动改回 vornadel.exe。", L"vornadel.exe.old", false,
     {L"download", L"vornadel.exe", L"vornadel.exe.old"}},
};

class InstallFailure : public Install, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(InstallFailure, LeavesTheUserAsTheyWere) {
    const FailureCase& c = GetParam();
    // A real program, so that it can be started again, told apart from the new one.
    const std::string oldProgram = ReadFileBytes(ServedProgram()) + "the old dialer";
    std::ofstream(fs::path(folder.File(L"vornadel.exe")), std::ios::binary) << oldProgram;
    Standin dialer(folder.File(L"vornadel.exe"), false);
    plat::UniqueFile hold;
    if (c.name == std::string("Locked"))  // moving needs delete sharing, starting only read sharing
        hold.reset(CreateFileW(folder.File(L"vornadel.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr));
    if (c.name == std::string("ReadOnly"))
        SetFileAttributesW(folder.File(L"vornadel.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    if (c.name == std::string("NoWayBack")) updater::SetAfterBackupHookForTesting(OccupyWithFolder);

    const std::wstring url = ServerUrl(L"/soft/updates/Vornadel/vornadel.exe");
    updater::DownloadWindow* form = updater::DownloadWindow::Create({url, folder.path, true});
    ASSERT_TRUE(form);
    if (c.name == std::string("ChangedAfterTheChecks")) {
        // In the three seconds before the copy; the install step then closes the window.
        ASSERT_TRUE(PumpUntil([&] { return form->outcome() == updater::DownloadWindow::Outcome::Complete; }, 20000));
        ASSERT_TRUE(CopyFileW(TestProgram(L"versions\\newer\\vornadel.exe").c_str(),
                              folder.File(L"download\\vornadel.exe").c_str(), FALSE));
    }
    {
        MessageBoxAnswerer answerer({IDOK}, GetCurrentProcessId());
        EXPECT_TRUE(PumpUntil([&] { return plat::OpenFormCount() == 0; }, 60000));
        ASSERT_EQ(answerer.boxes.size(), 1u);
        EXPECT_NE(answerer.boxes[0].find(c.says), std::wstring::npos) << plat::ToAnsi(answerer.boxes[0]);
        EXPECT_EQ(answerer.boxes[0].find(folder.path) == std::wstring::npos, c.dialerRestarted);
    }
    hold.reset();
    EXPECT_EQ(ReadFileBytes(folder.File(c.oldProgramIn)), oldProgram);
    EXPECT_EQ(dialer.WaitForExit(5000), 7u);
    // Started again from its folder, as Yes starts the new one: it logs there.
    const std::wstring restartLog = folder.File(L"standin.log");
    EXPECT_EQ(PumpUntil([&] { return fs::exists(restartLog); }, c.dialerRestarted ? 10000 : 1000), c.dialerRestarted);
    EXPECT_EQ(updater::FindProcesses(folder.File(L"vornadel.exe")).size(), size_t{c.dialerRestarted});
    EXPECT_EQ(FilesIn(folder.path), c.files);
}

INSTANTIATE_TEST_SUITE_P(Cases, InstallFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

// The program as built (unsigned, and signed with key A), from another current
// directory, over an older dialer. Stand-ins run from the file it replaces
// (also named in other letter case) and from elsewhere: of the first, the one
// that listens closes itself (7), the others are ended (0); the rest go on.
class BuiltUpdater : public Install, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(BuiltUpdater, EndsTheDialerItReplacesReplacesItAndStartsItOnYes) {
    const bool yes = GetParam() == std::wstring(L"loopback_signed");
    const std::wstring updater = folder.File(L"update.exe"), dialer = folder.File(L"vornadel.exe");
    ASSERT_TRUE(CopyFileW(TestProgram(GetParam() + std::wstring(L"\\update.exe")).c_str(), updater.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(TestProgram(L"versions\\older\\vornadel.exe").c_str(), dialer.c_str(), FALSE));
    std::wstring shouted = folder.path + L"\\VORNADEL.EXE";
    CharUpperW(shouted.data());
    Standin polite(dialer, false), deaf(dialer, true), upper(shouted, true);
    Standin elsewhere(ServedProgram(), false), otherName(TestProgram(L"other\\xvornadel.exe"), false);
    EXPECT_FALSE(updater::InOwnSession(0xFFFFFFF0));
    const std::wstring otherDir = testing_support::TempFolder();
    plat::UniqueHandle process = testing_support::StartProgram(L"\"" + updater + L"\"", otherDir.c_str());
    {
        MessageBoxAnswerer answerer({IDOK, yes ? IDYES : IDNO}, GetProcessId(process.get()));
        ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 40000));
        EXPECT_EQ(answerer.boxes.size(), 2u);
    }
    EXPECT_EQ(polite.WaitForExit(5000), 7u);
    EXPECT_EQ(deaf.WaitForExit(5000), 0u);
    EXPECT_EQ(upper.WaitForExit(5000), 0u);
    EXPECT_TRUE(elsewhere.Running());
    EXPECT_TRUE(otherName.Running());
    EXPECT_TRUE(ReadFileBytes(dialer) == ReadFileBytes(ServedProgram()));
    // Yes starts the new program from its folder, where it logs.
    const std::wstring startLog = folder.File(L"standin.log");
    EXPECT_EQ(PumpUntil([&] { return fs::exists(startLog); }, yes ? 10000 : 1000), yes);
    EXPECT_EQ(updater::FindProcesses(dialer).size(), size_t{yes});
}

INSTANTIATE_TEST_SUITE_P(Keys, BuiltUpdater, ::testing::Values(L"loopback", L"loopback_signed"),
                         [](const auto& info) { return info.index ? "SignedYes" : "UnsignedNo"; });

// A second updater while one runs (here one stuck on a silent server): it
// brings the running one back from the taskbar and ends, touching nothing in download\.
TEST_F(Install, SecondUpdaterShowsTheRunningOneAndLeavesTheDownloadAlone) {
    const std::wstring updater = L"\"" + folder.File(L"update.exe") + L"\"";
    ASSERT_TRUE(CopyFileW(TestProgram(L"loopback_stall\\update.exe").c_str(), folder.File(L"update.exe").c_str(), FALSE));
    struct Ended {  // whatever the test's outcome
        ~Ended() { TerminateProcess(process.get(), 1); }
        plat::UniqueHandle process;
    } first{testing_support::StartProgram(updater, folder.path.c_str())};
    // Names, sizes and write times: the partial file is shared with nobody for reading.
    const auto listing = [&] {
        std::vector<std::wstring> files;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        for (const std::wstring& name : FilesIn(folder.File(L"download")))
            if (GetFileAttributesExW(folder.File(L"download\\" + name).c_str(), GetFileExInfoStandard, &data))
                files.push_back(name + L" " + std::to_wstring(data.nFileSizeLow) + L" " +
                                std::to_wstring(data.ftLastWriteTime.dwLowDateTime));
        return files;
    };
    HWND window = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        window = testing_support::FindWindowOf(GetProcessId(first.process.get()), plat::kFormClassName,
                                               updater::kUpdaterCaption);
        return window && fs::exists(folder.File(L"download\\vornadel.exe.part"));
    }, 15000));
    testing_support::PumpMessages(1000);  // until the body has stopped coming
    ShowWindow(window, SW_MINIMIZE);
    const auto before = listing();

    plat::UniqueHandle second = testing_support::StartProgram(updater, folder.path.c_str());
    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(second.get(), 0) == WAIT_OBJECT_0; }, 15000));
    EXPECT_TRUE(PumpUntil([&] { return !IsIconic(window); }, 3000));
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(WaitForSingleObject(first.process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(first.process.get(), 0) == WAIT_OBJECT_0; }, 10000));
    EXPECT_TRUE(FilesIn(folder.File(L"download")).empty());
}

// UAC must not take the updater for an installer, and must go on
// virtualising the dialer's writes to the Windows folder.
TEST(ShippedPrograms, OnlyTheUpdaterAsksToRunAsTheInvoker) {
    const std::wstring shipped = testing_support::TestBinFolder() + L"\\updater\\shipped\\";
    const std::string level = "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>";
    EXPECT_NE(ReadFileBytes(shipped + L"update.exe").find(level), std::string::npos);
    EXPECT_EQ(ReadFileBytes(shipped + L"vornadel.exe").find("requestedExecutionLevel"), std::string::npos);
}

TEST(ShippedPrograms, TheDialerCarriesTheProjectsVersion) {
    const uint64_t parts[] = {VORNADEL_PROJECT_VERSION};  // major, minor, patch; the fourth number is 0
    const auto version = updater::ReadFileVersion(testing_support::TestBinFolder() + L"\\updater\\shipped\\vornadel.exe");
    EXPECT_EQ(version.value_or(0), parts[0] << 48 | parts[1] << 32 | parts[2] << 16);
}
