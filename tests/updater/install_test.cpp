// Whole updates, each with the install step's real three-second wait: few
// runs, each checking everything it shows.
#include <gtest/gtest.h>

#include "platform/window.h"
#include "tests/updater/updater_test_support.h"
#include "updater/download_window.h"
#include "updater/file_replace.h"
#include "updater/process_kill.h"

using namespace updater_test;

namespace {

const std::vector<std::wstring> kSuccessBoxes = {L"提示：  | 恭喜你！程序已经升级成功，谢谢你的使用！ | OK | icon",
                                                 L"提示 | 现在是否运行VornadelZembrel？ | Yes No"};

class Install : public ::testing::Test {
protected:
    void TearDown() override {
        updater::SetAfterBackupHookForTesting(nullptr);
        SetFileAttributesW(folder.File(L"vornadel.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
        updater::KillProcess(L"vornadel.exe");  // a dialer the update started
    }
    // One update in this thread, answering its boxes in order, until its windows are all gone.
    std::vector<std::wstring> RunUpdate(std::vector<int> answers) {
        auto* form = updater::DownloadWindow::Create({ServerUrl(L"/soft/updates/Vornadel/vornadel.exe"), folder.path, true});
        if (!form) return ADD_FAILURE() << "no download window", std::vector<std::wstring>{};
        MessageBoxAnswerer answerer(std::move(answers), GetCurrentProcessId());
        EXPECT_TRUE(PumpUntil([&] { return form->outcome() == updater::DownloadWindow::Outcome::Complete; }, 30000));
        EXPECT_TRUE(PumpUntil([&] { return plat::OpenFormCount() == 0; }, 30000));
        return answerer.boxes;
    }
    TempProgramFolder folder;
};

void OccupyWithFolder(const std::wstring& target) { CreateDirectoryW(target.c_str(), nullptr); }

// The manifest Windows applies to a program (id 1), empty when it has none.
std::string Manifest(const std::wstring& exe) {
    plat::UniqueModule module(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return ADD_FAILURE() << "cannot read " << plat::ToAnsi(exe), "";
    HRSRC found = FindResourceW(module.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
    return found ? std::string(static_cast<const char*>(LockResource(LoadResource(module.get(), found))),
                               SizeofResource(module.get(), found))
                 : "";
}

}  // namespace

// Ways an install fails, each with a polite dialer running: afterwards the
// old program is where the message says, and the dialer runs again unless the
// message asks the user to act.
struct FailureCase {
    const char* name;
    const wchar_t* text;  // {folder}: the program folder
    const wchar_t* oldProgramIn;
    bool dialerRestarted;
    std::vector<std::wstring> files;
    friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }
};

const FailureCase kFailures[] = {
    {"Locked", L"升级失败：原程序文件正在被使用，无法替换（错误 32）。\n原来的程序没有改动。", L"vornadel.exe", true,
     {L"download", L"standin.log", L"vornadel.exe"}},
    {"ReadOnly", L"升级失败：原程序文件是只读的，无法替换。\n原来的程序没有改动。", L"vornadel.exe", true,
     {L"download", L"standin.log", L"vornadel.exe"}},
    {"NoWayBack",
     L"升级失败：无法替换原程序文件（错误 183）。\n原来的程序无法放回原处，已保存为 {folder}\\vornadel.exe.old，"
     L"请手动改回 vornadel.exe。",
     L"vornadel.exe.old", false, {L"download", L"vornadel.exe", L"vornadel.exe.old"}},
};

class InstallFailure : public Install, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(InstallFailure, LeavesTheUserAsTheyWere) {
    const FailureCase& c = GetParam();
    // A real program, so that it can be started again, told apart from the new one.
    const std::string oldProgram = ReadFileBytes(ServedProgram()) + "the old dialer";
    std::ofstream(fs::path(folder.File(L"vornadel.exe")), std::ios::binary) << oldProgram;
    Standin dialer(L"standin\\vornadel.exe", false);
    ASSERT_TRUE(dialer.Running());
    plat::UniqueFile hold;
    if (c.name == std::string("Locked"))  // moving needs delete sharing, starting only read sharing
        hold.reset(CreateFileW(folder.File(L"vornadel.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr));
    if (c.name == std::string("ReadOnly"))
        SetFileAttributesW(folder.File(L"vornadel.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    if (c.name == std::string("NoWayBack")) updater::SetAfterBackupHookForTesting(OccupyWithFolder);
    std::wstring text = L"提示 | " + std::wstring(c.text) + L" | OK | icon";
    if (size_t at = text.find(L"{folder}"); at != std::wstring::npos) text.replace(at, 8, folder.path);

    EXPECT_EQ(RunUpdate({IDOK}), std::vector<std::wstring>{text});
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
// listens closes itself (7) and saves its fields, the others are ended (0).
class BuiltUpdater : public Install, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(BuiltUpdater, EndsTheDialersReplacesTheProgramAndStartsItOnYes) {
    const bool yes = GetParam() == std::wstring(L"loopback_signed");
    const std::wstring updater = folder.File(L"update.exe"), elsewhere = testing_support::TempFolder();
    ASSERT_TRUE(CopyFileW((testing_support::TestBinFolder() + L"\\updater\\" + GetParam() + L"\\update.exe").c_str(),
                          updater.c_str(), FALSE));
    Standin polite(L"standin\\vornadel.exe", false), deaf(L"standin\\vornadel.exe", true);
    Standin upper(L"upper\\VORNADEL.EXE", true), other(L"other\\xvornadel.exe", false);
    ASSERT_TRUE(polite.Running() && deaf.Running() && upper.Running() && other.Running());
    EXPECT_EQ(updater::FindProcesses(L"vornadel.exe").size(), 3u);
    EXPECT_FALSE(updater::InOwnSession(0xFFFFFFF0));
    plat::UniqueHandle process = testing_support::StartProgram(L"\"" + updater + L"\"", elsewhere.c_str());
    ASSERT_TRUE(process);
    {
        MessageBoxAnswerer answerer({IDOK, yes ? IDYES : IDNO}, GetProcessId(process.get()));
        ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 40000));
        EXPECT_EQ(answerer.boxes, kSuccessBoxes);
    }
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(process.get(), &code) && code == 0);
    EXPECT_EQ(polite.WaitForExit(5000), 7u);
    EXPECT_EQ(ReadFileBytes(polite.log), "start\nsaved Text1=宽带连接 Text2=user Text3=secret\n");
    EXPECT_EQ(deaf.WaitForExit(5000), 0u);
    EXPECT_EQ(upper.WaitForExit(5000), 0u);
    EXPECT_TRUE(other.Running());

    EXPECT_TRUE(ReadFileBytes(folder.File(L"vornadel.exe")) == ReadFileBytes(ServedProgram()));
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>{L"vornadel.exe"});
    EXPECT_FALSE(fs::exists(elsewhere + L"\\download\\vornadel.exe"));
    // Yes starts the new program from its folder, where it logs.
    std::vector<DWORD> started;
    const auto dialerStarted = [&] {
        return !(started = updater::FindProcesses(L"vornadel.exe")).empty() && fs::exists(folder.File(L"standin.log"));
    };
    EXPECT_EQ(PumpUntil(dialerStarted, yes ? 10000 : 1000), yes);
    std::vector<std::wstring> files = {L"download", L"update.exe", L"vornadel.exe"};
    if (yes) files.insert(files.begin() + 1, L"standin.log");
    EXPECT_EQ(FilesIn(folder.path), files);
    if (!yes) return;
    ASSERT_EQ(started.size(), 1u);
    plat::UniqueHandle dialer(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, started[0]));
    wchar_t image[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    ASSERT_TRUE(dialer && QueryFullProcessImageNameW(dialer.get(), 0, image, &size));
    EXPECT_EQ(CompareStringOrdinal(image, -1, folder.File(L"vornadel.exe").c_str(), -1, TRUE), CSTR_EQUAL);
}

INSTANTIATE_TEST_SUITE_P(Keys, BuiltUpdater, ::testing::Values(L"loopback", L"loopback_signed"),
                         [](const auto& info) { return info.index ? "SignedYes" : "UnsignedNo"; });

// UAC must not take the updater for an installer, and must go on
// virtualising the dialer's writes to the Windows folder.
TEST(ShippedPrograms, OnlyTheUpdaterAsksToRunAsTheInvoker) {
    const std::wstring shipped = testing_support::TestBinFolder() + L"\\updater\\shipped\\";
    const std::string updater = Manifest(shipped + L"update.exe");
    EXPECT_NE(updater.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
    EXPECT_EQ(Manifest(shipped + L"vornadel.exe").find("trustInfo"), std::string::npos);
}
