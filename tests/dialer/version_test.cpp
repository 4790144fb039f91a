// The version resource Windows Explorer shows for the dialer.
#include <gtest/gtest.h>

#include "tests/support/testing.h"

TEST(DialerVersion, ChineseVersionBlock) {
    auto v = testing_support::ReadVersionInfo(testing_support::TestBinFolder() + L"\\dialer\\vornadel.exe");
    ASSERT_TRUE(v.found);
    EXPECT_EQ(v.fileMS, 0x00010000u);
    EXPECT_EQ(v.fileLS, 0u);
    EXPECT_EQ(v.productMS, 0x00010000u);
    EXPECT_EQ(v.Text(L"FileVersion"), L"1.00");
    EXPECT_EQ(v.Text(L"ProductVersion"), L"1.00");
    EXPECT_EQ(v.Text(L"InternalName"), L"Vornadel");
    EXPECT_EQ(v.Text(L"FileDescription"), L"VornadelZembrel是一款能开机自动拨号上网和断网后自动拨号的程序！");
}
