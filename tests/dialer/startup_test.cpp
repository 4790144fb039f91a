#include "tests/dialer/dialer_fixture.h"

#include "dialer/autostart.h"
#include "platform/module_path.h"

using namespace testing_support;
using namespace dialer;

TEST_F(DialerWindowTest, WithoutAFullAccountTheWindowStaysUpAndOnlyAManualDialRuns) {
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
        EXPECT_EQ(dialer::TrayData().hWnd, hwnd_);
        EXPECT_EQ(Balloon(), L"你还没有填写上网帐号和密码哦！");
        EXPECT_EQ(Text(IDC_CONNECTION_NAME), L"宽带连接");
        EXPECT_LE(Text(IDC_PASSWORD).size(), 127u);
        EXPECT_FALSE(Checked(IDC_AUTOSTART));
        EXPECT_FALSE(Checked(IDC_AUTO_REDIAL));
        EXPECT_FALSE(form_->RedialTimerEnabled());
        EXPECT_FALSE(ReadRunValue().found);
    }
    PumpMessages(700);
    EXPECT_TRUE(record_.Lines().empty());

    Click(IDC_DIAL);
    ASSERT_EQ(record_.WaitForLines(1).size(), 1u);
    EXPECT_EQ(record_.Lines()[0], L"Rasdial 宽带连接 user01 \"\"");
    EXPECT_EQ(Balloon(), L"正在自动拨号中，请稍后......");
    EXPECT_EQ(BalloonTitle(), L"ADSLZembrel");
}

TEST_F(DialerWindowTest, StoredAccountDialsHiddenAndHidesInTray) {
    const struct {
        const char* stored;
        const wchar_t *dialed, *name;
    } rows[] = {{"Text1=My Link\r\nText2=user01\r\nText3=pw\r\n", L"Rasdial \"My Link\" user01 pw", L"My Link"},
                // The entry place stays an (empty) argument of its own; the default name comes after the dial.
                {"Text2=user01\r\nText3=pw\r\n", L"Rasdial \"\" user01 pw", L"宽带连接"}};
    for (size_t i = 0; i < std::size(rows); ++i) {
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
        ASSERT_TRUE(Open(rows[i].stored));
        ASSERT_EQ(record_.WaitForLines(i + 1).size(), i + 1);
        EXPECT_EQ(record_.Entries()[i].commandLine, rows[i].dialed);
        EXPECT_EQ(record_.Entries()[i].show, SW_HIDE);
        EXPECT_EQ(Text(IDC_CONNECTION_NAME), rows[i].name);
        EXPECT_FALSE(IsWindowVisible(hwnd_));
        EXPECT_EQ(Balloon(), L"正在自动拨号中，请稍后......");
        EXPECT_EQ(BalloonTitle(), L"提示：");
        EXPECT_STREQ(dialer::TrayData().szTip, L"ADSLZembrel") << "a balloon leaves the tip alone";
    }
}

TEST_F(DialerWindowTest, StoredAutoRedialDialsEveryIntervalAfterTheStartUpDial) {
    ASSERT_TRUE(Open("Text1=ADSL\r\nText2=u\r\nText3=p\r\nVornadel2=1 \r\n"));
    EXPECT_TRUE(Checked(IDC_AUTO_REDIAL));
    EXPECT_TRUE(form_->RedialTimerEnabled());
    EXPECT_EQ(Text(IDC_REDIAL_FLAG), L"1") << "read trimmed";
    // Only the start-up dial in the first second; the timer's first tick comes later.
    PumpMessages(1500);
    EXPECT_EQ(record_.Lines().size(), 1u);
    auto lines = record_.WaitForLines(3, 12000);
    ASSERT_GE(lines.size(), 3u);
    for (const auto& l : lines) EXPECT_EQ(l, L"Rasdial ADSL u p");
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel2=1"), std::string::npos);
}

TEST_F(DialerWindowTest, StoredStartWithWindowsRewritesTheRunValueAndTheBoxesSwitchRunValueTimerAndFlags) {
    ASSERT_TRUE(Open("Vornadel1=1\r\n"));
    EXPECT_TRUE(Checked(IDC_AUTOSTART));
    RegValue v = ReadRunValue();
    ASSERT_TRUE(v.found);
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(v.data, RunValueData(plat::ProgramFolder(), plat::ProgramBaseName()));
    Click(IDC_AUTOSTART);
    EXPECT_FALSE(ReadRunValue().found);
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel1=0"), std::string::npos);
    Click(IDC_AUTOSTART);
    EXPECT_TRUE(ReadRunValue().found);
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel1=1"), std::string::npos);
    // Removing a value that is already gone still counts as done.
    testing_support::DeleteRunValue();
    Click(IDC_AUTOSTART);
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel1=0"), std::string::npos);

    Click(IDC_AUTO_REDIAL);
    EXPECT_TRUE(form_->RedialTimerEnabled());
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel2=1"), std::string::npos);
    PumpMessages(300);
    EXPECT_TRUE(record_.Lines().empty()) << "switching re-dial on does not dial at once";
    Click(IDC_AUTO_REDIAL);
    EXPECT_FALSE(form_->RedialTimerEnabled());
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel2=0"), std::string::npos);
    // The flag fields keep what was read at start-up.
    EXPECT_EQ(Text(IDC_AUTOSTART_FLAG), L"1");
    EXPECT_EQ(Text(IDC_REDIAL_FLAG), L"");
}
