// The version resource Windows Explorer shows for the dialer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/testing.h"

namespace {

std::wstring Value(const std::vector<BYTE>& info, const wchar_t* name) {
    std::wstring path = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
    void* data = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(info.data(), path.c_str(), &data, &len) || !data) return L"<missing>";
    return static_cast<const wchar_t*>(data);
}

}  // namespace

TEST(DialerVersion, ChineseVersionBlock) {
    std::wstring exe = testing_support::TestBinFolder() + L"\\dialer\\vornadel.exe";
    DWORD size = GetFileVersionInfoSizeW(exe.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(Value(info, L"FileVersion"), L"1.00");
    EXPECT_EQ(Value(info, L"ProductVersion"), L"1.00");
    EXPECT_EQ(Value(info, L"InternalName"), L"Vornadel");
    EXPECT_EQ(Value(info, L"FileDescription"), L"VornadelZembrel是一款能开机自动拨号上网和断网后自动拨号的程序！");
}
