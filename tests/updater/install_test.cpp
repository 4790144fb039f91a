// Whole updates, each with the install step's real three-second wait: few
// runs, each checking everything it shows.
#include <gtest/gtest.h>

#include "platform/window.h"
#include "tests/updater/updater_test_support.h"
#include "updater/download_window.h"
#include "updater/process_kill.h"

using namespace updater_test;

namespace {

std::wstring NewProgram() { return testing_support::TestBinFolder() + L"\\updater\\standin\\vornadel.exe"; }

const std::vector<BoxRecord> kSuccessBoxes = {{L"提示： ", L"恭喜你！程序已经升级成功，谢谢你的使用！", {IDOK}, true},
                                              {L"提示", L"现在是否运行VornadelZembrel？", {IDYES, IDNO}, false}};
std::vector<BoxRecord> FailureBox(const wchar_t* text) { return {{L"提示", text, {IDOK}, true}}; }

class Install : public ::testing::Test {
protected:
    void TearDown() override {
        SetFileAttributesW(folder.File(L"vornadel.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
        updater::KillProcess(L"vornadel.exe");  // a dialer the update started
    }
    // One update in this thread, answering its boxes in order, until its windows are all gone.
    std::vector<BoxRecord> RunUpdate(std::vector<int> answers) {
        auto* form = updater::Form1::Create({ServerUrl(L"/soft/updates/Vornadel/vornadel.exe"), folder.path, true});
        if (!form) return ADD_FAILURE() << "no download window", std::vector<BoxRecord>{};
        MessageBoxAnswerer answerer(std::move(answers), GetCurrentProcessId());
        EXPECT_TRUE(PumpUntil([&] { return form->outcome() == updater::Form1::Outcome::Complete; }, 30000));
        EXPECT_TRUE(PumpUntil([&] { return plat::OpenFormCount() == 0; }, 30000));
        return answerer.boxes;
    }
    TempProgramFolder folder;
};

}  // namespace

TEST_F(Install, EndsTheDialersReplacesTheProgramAndStartsItOnYes) {
    Standin polite(L"standin\\vornadel.exe", false), deaf(L"standin\\vornadel.exe", true);
    Standin upper(L"upper\\VORNADEL.EXE", true), other(L"other\\xvornadel.exe", false);
    ASSERT_TRUE(polite.Running() && deaf.Running() && upper.Running() && other.Running());
    EXPECT_EQ(RunUpdate({IDOK, IDYES}), kSuccessBoxes);

    // The one that listens closed itself and saved its fields; the others
    // were ended; a name that merely contains the dialer's was left alone.
    EXPECT_EQ(polite.WaitForExit(5000), 7u);  // the stand-in after WM_CLOSE
    EXPECT_EQ(ReadFileBytes(polite.log), "start\nsaved Text1=宽带连接 Text2=user Text3=secret\n");
    EXPECT_EQ(deaf.WaitForExit(5000), 0u);  // what the updater ends processes with
    EXPECT_EQ(upper.WaitForExit(5000), 0u);
    EXPECT_TRUE(other.Running());

    // The new program in place, nothing left beside it, and Yes started it from there.
    EXPECT_TRUE(ReadFileBytes(folder.File(L"vornadel.exe")) == ReadFileBytes(NewProgram()));
    EXPECT_EQ(FilesIn(folder.path), (std::vector<std::wstring>{L"download", L"vornadel.exe"}));
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
    EXPECT_EQ(RunUpdate({IDOK}), FailureBox(L"升级失败：原程序文件正在被使用，无法替换。\n原来的程序没有改动。"));
    lock.reset();
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);

    ASSERT_TRUE(SetFileAttributesW(folder.File(L"vornadel.exe").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(RunUpdate({IDOK}), FailureBox(L"升级失败：原程序文件是只读的，无法替换。\n原来的程序没有改动。"));
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);
    EXPECT_EQ(FilesIn(folder.path), (std::vector<std::wstring>{L"download", L"vornadel.exe"}));
    testing_support::PumpMessages(500);
    EXPECT_TRUE(updater::FindProcesses(L"vornadel.exe").empty());
}

// The program as built, from another current directory, with no dialer
// running, its boxes answered from outside.
TEST_F(Install, TheBuiltProgramUpdatesItsOwnFolder) {
    const std::wstring updater = folder.File(L"update.exe"), elsewhere = testing_support::TempFolder();
    ASSERT_TRUE(CopyFileW((testing_support::TestBinFolder() + L"\\updater\\loopback\\update.exe").c_str(),
                          updater.c_str(), FALSE));
    PROCESS_INFORMATION pi = Start(updater, L"\"" + updater + L"\"", elsewhere.c_str());
    plat::UniqueHandle process(pi.hProcess);
    ASSERT_TRUE(process);
    {
        MessageBoxAnswerer answerer({IDOK, IDNO}, pi.dwProcessId);
        ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 40000));
        EXPECT_EQ(answerer.boxes, kSuccessBoxes);
    }
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(process.get(), &code) && code == 0);
    EXPECT_TRUE(ReadFileBytes(folder.File(L"vornadel.exe")) == ReadFileBytes(NewProgram()));
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>{L"vornadel.exe"});
    EXPECT_FALSE(fs::exists(elsewhere + L"\\download\\vornadel.exe"));
    testing_support::PumpMessages(1000);
    EXPECT_TRUE(updater::FindProcesses(L"vornadel.exe").empty());  // No started nothing

    auto v = testing_support::ReadVersionInfo(updater);
    EXPECT_EQ((std::vector<DWORD>{v.fileMS, v.fileLS, v.productMS, v.productLS}),
              (std::vector<DWORD>{0x00010000, 3, 0x00010000, 3}));
    EXPECT_EQ(v.Text(L"FileVersion"), L"1.00.0003");
    EXPECT_EQ(v.Text(L"ProductVersion"), L"1.00.0003");
    EXPECT_EQ(v.Text(L"InternalName"), L"Update");
    EXPECT_EQ(v.Text(L"FileDescription"), L"Brisquel在线升级程序");
}
