// Whole updates, each with the install step's real three-second wait: few
// runs, each checking everything it shows.
#include <gtest/gtest.h>

#include "platform/window.h"
#include "tests/updater/updater_test_support.h"
#include "updater/download_window.h"
#include "updater/file_replace.h"
#include "updater/process_kill.h"

using namespace updater_test;

class Install : public ::testing::Test {
protected:
    void TearDown() override {
        updater::SetAfterBackupHookForTesting(nullptr);
        SetFileAttributesW(folder.File(L"vornadel.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
        updater::KillProcess(L"vornadel.exe");  // a dialer the update started
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
    {"NoWayBack", L"\\vornadel.exe.old，请手动改回 vornadel.exe。", L"vornadel.exe.old", false,
     {L"download", L"vornadel.exe", L"vornadel.exe.old"}},
};

class InstallFailure : public Install, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(InstallFailure, LeavesTheUserAsTheyWere) {
    const FailureCase& c = GetParam();
    // A real program, so that it can be started again, told apart from the new one.
    const std::string oldProgram = ReadFileBytes(ServedProgram()) + "the old dialer";
    std::ofstream(fs::path(folder.File(L"vornadel.exe")), std::ios::binary) << oldProgram;
    Standin dialer(L"standin\\vornadel.exe", false);
    plat::UniqueFile hold;
    if (c.name == std::string("Locked"))  // moving needs delete sharing, starting only read sharing
        hold.reset(CreateFileW(folder.File(L"vornadel.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr));
    if (c.name == std::string("ReadOnly"))
        SetFileAttributesW(folder.File(L"vornadel.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    if (c.name == std::string("NoWayBack")) updater::SetAfterBackupHookForTesting(OccupyWithFolder);

    const std::wstring url = ServerUrl(L"/soft/updates/Vornadel/vornadel.exe");
    ASSERT_TRUE(updater::DownloadWindow::Create({url, folder.path, true}));
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
    EXPECT_EQ(updater::FindProcesses(L"vornadel.exe").size(), size_t{c.dialerRestarted});
    EXPECT_EQ(FilesIn(folder.path), c.files);
}

INSTANTIATE_TEST_SUITE_P(Cases, InstallFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

// The program as built (unsigned, and signed with key A), from another current
// directory, with stand-ins under names it must and must not end: the one that
// listens closes itself (7), the others are ended (0).
class BuiltUpdater : public Install, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(BuiltUpdater, EndsTheDialersReplacesTheProgramAndStartsItOnYes) {
    const bool yes = GetParam() == std::wstring(L"loopback_signed");
    const std::wstring updater = folder.File(L"update.exe");
    ASSERT_TRUE(CopyFileW((testing_support::TestBinFolder() + L"\\updater\\" + GetParam() + L"\\update.exe").c_str(),
                          updater.c_str(), FALSE));
    Standin polite(L"standin\\vornadel.exe", false), deaf(L"standin\\vornadel.exe", true);
    Standin upper(L"upper\\VORNADEL.EXE", true), other(L"other\\xvornadel.exe", false);
    EXPECT_FALSE(updater::InOwnSession(0xFFFFFFF0));
    const std::wstring elsewhere = testing_support::TempFolder();
    plat::UniqueHandle process = testing_support::StartProgram(L"\"" + updater + L"\"", elsewhere.c_str());
    {
        MessageBoxAnswerer answerer({IDOK, yes ? IDYES : IDNO}, GetProcessId(process.get()));
        ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 40000));
        EXPECT_EQ(answerer.boxes.size(), 2u);
    }
    EXPECT_EQ(polite.WaitForExit(5000), 7u);
    EXPECT_EQ(deaf.WaitForExit(5000), 0u);
    EXPECT_EQ(upper.WaitForExit(5000), 0u);
    EXPECT_TRUE(other.Running());
    EXPECT_TRUE(ReadFileBytes(folder.File(L"vornadel.exe")) == ReadFileBytes(ServedProgram()));
    // Yes starts the new program from its folder, where it logs.
    const std::wstring startLog = folder.File(L"standin.log");
    EXPECT_EQ(PumpUntil([&] { return fs::exists(startLog); }, yes ? 10000 : 1000), yes);
    EXPECT_EQ(updater::FindProcesses(L"vornadel.exe").size(), size_t{yes});
}

INSTANTIATE_TEST_SUITE_P(Keys, BuiltUpdater, ::testing::Values(L"loopback", L"loopback_signed"),
                         [](const auto& info) { return info.index ? "SignedYes" : "UnsignedNo"; });

// UAC must not take the updater for an installer, and must go on
// virtualising the dialer's writes to the Windows folder.
TEST(ShippedPrograms, OnlyTheUpdaterAsksToRunAsTheInvoker) {
    const std::wstring shipped = testing_support::TestBinFolder() + L"\\updater\\shipped\\";
    const std::string level = "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>";
    EXPECT_NE(ReadFileBytes(shipped + L"update.exe").find(level), std::string::npos);
    EXPECT_EQ(ReadFileBytes(shipped + L"vornadel.exe").find("requestedExecutionLevel"), std::string::npos);
}
