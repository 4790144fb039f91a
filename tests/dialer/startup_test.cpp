#include "tests/dialer/dialer_fixture.h"

#include <algorithm>

#include "dialer/autostart.h"
#include "platform/module_path.h"

using namespace testing_support;
using namespace dialer;

TEST_F(DialerWindowTest, WithoutAFullAccountTheWindowStaysUpOnlyAManualDialRunsAndTheBoxesSwitchRunValueTimerAndFlags) {
    const std::string opt = "[Option]\r\n";
    std::string junk = "\xFF\xFE[Option\r\n=\r\n" + opt + "Text2" + std::string(100000, 'x');
    junk += std::string("\0\x01\x80\x81\r\nText3=\x81\r\n", 16);
    // Only exactly "1" switches a flag on; the last has an account but no password.
    const std::string stored[] = {"", junk, opt + "Vornadel1=yes\r\nVornadel2=01\r\n",
                                  opt + "Vornadel1=true\r\nVornadel2=2\r\n", opt + "Vornadel1=01\r\nVornadel2=0\r\n",
                                  opt + "Text2=user01\r\nText3=\r\n"};
    for (const auto& file : stored) {
        SCOPED_TRACE(file.substr(0, 40));
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
        if (!file.empty()) WriteSettingsFileBytes(file);
        ASSERT_TRUE(Open());
        EXPECT_TRUE(ReadSettingsFileBytes() == file) << "starting stores nothing";
        EXPECT_TRUE(Shown());
        EXPECT_EQ(Balloon(), L"你还没有填写上网帐号和密码哦！");
        EXPECT_EQ(Text(IDC_CONNECTION_NAME), L"宽带连接");
        EXPECT_FALSE(Checked(IDC_AUTOSTART));
        EXPECT_FALSE(Checked(IDC_AUTO_REDIAL));
        EXPECT_FALSE(form_->RedialTimerEnabled());
        EXPECT_FALSE(ReadRunValue().found);
    }
    Click(IDC_AUTOSTART);
    EXPECT_EQ(ReadRunValue().data, RunValueData(plat::ProgramFolder(), plat::ProgramBaseName()));
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel1=1"), std::string::npos);
    Click(IDC_AUTOSTART);
    EXPECT_FALSE(ReadRunValue().found);
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel1=0"), std::string::npos);
    Click(IDC_AUTOSTART);
    // Removing a value that is already gone still counts as done.
    testing_support::DeleteRunValue();
    Click(IDC_AUTOSTART);
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel1=0"), std::string::npos);

    Click(IDC_AUTO_REDIAL);
    EXPECT_TRUE(form_->RedialTimerEnabled());
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel2=1"), std::string::npos);
    Click(IDC_AUTO_REDIAL);
    EXPECT_FALSE(form_->RedialTimerEnabled());
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel2=0"), std::string::npos);
    PumpMessages(700);
    EXPECT_TRUE(record_.Lines().empty()) << "no dial without a full account, nor on switching re-dial on";

    Click(IDC_DIAL);
    ASSERT_EQ(record_.WaitForLines(1).size(), 1u);
    EXPECT_EQ(record_.Lines()[0], L"Rasdial 宽带连接 user01 \"\"");
    EXPECT_EQ(Balloon(), L"正在自动拨号中，请稍后......");
    EXPECT_STREQ(TrayData().szInfoTitle, L"ADSLZembrel");
}

TEST_F(DialerWindowTest, StoredFlagsRewriteTheRunValueAndReDialEveryIntervalAfterTheStartUpDialWithTheNameFilledIn) {
    ASSERT_TRUE(Open("Text2=u\r\nText3=p\r\nVornadel1=1\r\nVornadel2=1 \r\n"));
    EXPECT_FALSE(IsWindowVisible(hwnd_)) << "the dial goes on in the tray";
    EXPECT_TRUE(Checked(IDC_AUTO_REDIAL));
    EXPECT_TRUE(Checked(IDC_AUTOSTART));
    const RegValue v = ReadRunValue();
    EXPECT_TRUE(v.found && v.type == REG_SZ) << "rewritten at start";
    EXPECT_EQ(v.data, RunValueData(plat::ProgramFolder(), plat::ProgramBaseName()));
    // Only the start-up dial in the first second; the timer's first tick comes later.
    PumpMessages(1500);
    ASSERT_EQ(record_.Lines(), std::vector<std::wstring>{L"Rasdial \"\" u p"}) << "the entry place stays";
    Command(IDM_DISCONNECT);
    auto lines = record_.WaitForLines(4, 12000);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Rasdial 宽带连接 u p"), lines.size() - 2) << "a disconnect leaves re-dial on";
}
