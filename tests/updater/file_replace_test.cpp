#include "updater/file_replace.h"

#include <gtest/gtest.h>

#include "platform/handles.h"
#include "tests/updater/updater_test_support.h"

using namespace updater_test;
using updater::ReplaceProgramFile;

namespace {

class FileReplaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryW(folder.File(L"download").c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(source(), kNew));
        ASSERT_TRUE(WriteFileBytes(target(), kOld));
    }
    void TearDown() override { SetFileAttributesW(target().c_str(), FILE_ATTRIBUTE_NORMAL); }
    std::wstring source() const { return folder.File(L"download\\vornadel.exe"); }
    std::wstring target() const { return folder.File(L"vornadel.exe"); }
    std::vector<std::wstring> ProgramFolderFiles() const { return FilesIn(folder.path()); }

    const std::string kOld = "MZ the old dialer";
    const std::string kNew = "MZ the new dialer, a little longer";
    TempProgramFolder folder;
};

DWORD WINAPI ReleaseLater(LPVOID param) {
    Sleep(400);
    CloseHandle(static_cast<HANDLE>(param));
    return 0;
}

}  // namespace

TEST_F(FileReplaceTest, ReplacesTheTargetAndLeavesNothingBehind) {
    auto r = ReplaceProgramFile(source(), target(), 500);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(ReadFileBytes(target()), kNew);
    EXPECT_EQ(ReadFileBytes(source()), kNew);
    EXPECT_EQ(ProgramFolderFiles(), (std::vector<std::wstring>{L"download", L"vornadel.exe"}));
}

TEST_F(FileReplaceTest, MissingTargetIsCreated) {
    ASSERT_TRUE(DeleteFileW(target().c_str()));
    EXPECT_TRUE(ReplaceProgramFile(source(), target(), 500).ok);
    EXPECT_EQ(ReadFileBytes(target()), kNew);
}

TEST_F(FileReplaceTest, LeftoversOfAnEarlierAttemptDoNotGetInTheWay) {
    ASSERT_TRUE(WriteFileBytes(target() + L".new", "stale"));
    ASSERT_TRUE(WriteFileBytes(target() + L".old", "stale"));
    SetFileAttributesW((target() + L".old").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(ReplaceProgramFile(source(), target(), 500).ok);
    EXPECT_EQ(ReadFileBytes(target()), kNew);
    EXPECT_EQ(ProgramFolderFiles(), (std::vector<std::wstring>{L"download", L"vornadel.exe"}));
}

TEST_F(FileReplaceTest, MissingSourceKeepsTheOldProgram) {
    ASSERT_TRUE(DeleteFileW(source().c_str()));
    auto r = ReplaceProgramFile(source(), target(), 500);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.reason.empty());
    EXPECT_EQ(ReadFileBytes(target()), kOld);
    EXPECT_EQ(ProgramFolderFiles(), (std::vector<std::wstring>{L"download", L"vornadel.exe"}));
}

TEST_F(FileReplaceTest, ReadOnlyTargetKeepsTheOldProgram) {
    ASSERT_TRUE(SetFileAttributesW(target().c_str(), FILE_ATTRIBUTE_READONLY));
    auto r = ReplaceProgramFile(source(), target(), 500);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, L"原程序文件是只读的，无法替换");
    EXPECT_EQ(ReadFileBytes(target()), kOld);
    EXPECT_EQ(ProgramFolderFiles(), (std::vector<std::wstring>{L"download", L"vornadel.exe"}));
}

TEST_F(FileReplaceTest, LockedTargetKeepsTheOldProgramAfterRetrying) {
    plat::UniqueFile lock(CreateFileW(target().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    auto r = ReplaceProgramFile(source(), target(), 300);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, L"原程序文件正在被使用，无法替换");
    lock.reset();
    EXPECT_EQ(ReadFileBytes(target()), kOld);
    EXPECT_EQ(ProgramFolderFiles(), (std::vector<std::wstring>{L"download", L"vornadel.exe"}));
}

TEST_F(FileReplaceTest, TargetReleasedWhileRetryingIsReplaced) {
    HANDLE lock = CreateFileW(target().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    plat::UniqueHandle releaser(CreateThread(nullptr, 0, ReleaseLater, lock, 0, nullptr));
    ASSERT_TRUE(releaser);
    auto r = ReplaceProgramFile(source(), target(), 5000);
    WaitForSingleObject(releaser.get(), 5000);
    EXPECT_TRUE(r.ok) << std::string(r.reason.begin(), r.reason.end());
    EXPECT_EQ(ReadFileBytes(target()), kNew);
}
