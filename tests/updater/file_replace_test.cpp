#include "updater/file_replace.h"

#include <gtest/gtest.h>

#include "tests/updater/updater_test_support.h"

using namespace updater_test;

namespace {
DWORD WINAPI ReleaseLater(LPVOID handle) {
    Sleep(400);
    return CloseHandle(handle);
}
}  // namespace

// An exiting dialer may hold its file a little longer; leftovers of an
// interrupted earlier run must not get in the way.
TEST(FileReplace, WaitsForTheTargetAndIgnoresLeftovers) {
    TempProgramFolder folder;
    const std::wstring target = folder.File(L"vornadel.exe"), source = folder.File(L"download\\vornadel.exe");
    ASSERT_TRUE(CreateDirectoryW(folder.File(L"download").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(source, "MZ the new dialer, a little longer"));
    ASSERT_TRUE(WriteFileBytes(target + L".new", "stale") && WriteFileBytes(target + L".old", "stale"));
    SetFileAttributesW((target + L".old").c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE lock = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    plat::UniqueHandle releaser(CreateThread(nullptr, 0, ReleaseLater, lock, 0, nullptr));
    auto r = updater::ReplaceProgramFile(source, target, 5000);
    WaitForSingleObject(releaser.get(), 5000);
    EXPECT_TRUE(r.ok) << plat::ToAnsi(r.reason);
    EXPECT_EQ(ReadFileBytes(target), "MZ the new dialer, a little longer");
    EXPECT_EQ(FilesIn(folder.path()), (std::vector<std::wstring>{L"download", L"vornadel.exe"}));
}
