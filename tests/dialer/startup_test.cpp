// Start-up of the main window: what it reads, dials, shows and switches on.
#include "tests/dialer/dialer_fixture.h"

#include "platform/module_path.h"

using namespace testing_support;
using namespace dialer;

TEST_F(DialerWindowTest, FirstStartWithoutSettingsFile) {
    ASSERT_TRUE(Open());
    EXPECT_TRUE(Shown());
    EXPECT_EQ(Text(IDC_CONNECTION_NAME), L"宽带连接");
    EXPECT_EQ(Text(IDC_ACCOUNT), L"");
    EXPECT_FALSE(Checked(IDC_AUTOSTART));
    EXPECT_FALSE(Checked(IDC_AUTO_REDIAL));
    EXPECT_FALSE(form_->RedialTimerEnabled());

    const NOTIFYICONDATAW& tray = dialer::TrayData();
    EXPECT_STREQ(tray.szTip, L"ADSLZembrel");
    EXPECT_STREQ(tray.szInfo, L"你还没有填写上网帐号和密码哦！");
    EXPECT_STREQ(tray.szInfoTitle, L"提示：");
    EXPECT_EQ(tray.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_EQ(tray.hWnd, hwnd_);

    PumpMessages(700);
    EXPECT_TRUE(record_.Lines().empty()) << "no dial without an account";
    // Nothing was stored by merely starting.
    EXPECT_EQ(ReadSettingsFileBytes().find("Vornadel"), std::string::npos);
}

TEST_F(DialerWindowTest, StoredAccountDialsHiddenAndHidesInTray) {
    StoreSettings("Text1=My Link\r\nText2=user01\r\nText3=pw\r\n");
    ASSERT_TRUE(Open());
    auto entries = record_.WaitForLines(1);
    ASSERT_EQ(record_.Entries().size(), 1u);
    EXPECT_EQ(record_.Entries()[0].commandLine, L"Rasdial \"My Link\" user01 pw");
    EXPECT_EQ(record_.Entries()[0].show, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    EXPECT_STREQ(dialer::TrayData().szInfo, L"正在自动拨号中，请稍后......");
    EXPECT_STREQ(dialer::TrayData().szInfoTitle, L"提示：");
    EXPECT_STREQ(dialer::TrayData().szTip, L"ADSLZembrel") << "a balloon leaves the tip alone";
}

TEST_F(DialerWindowTest, EmptyConnectionNameIsFilledInOnlyAfterTheDial) {
    StoreSettings("Text2=user01\r\nText3=pw\r\n");
    ASSERT_TRUE(Open());
    auto lines = record_.WaitForLines(1);
    ASSERT_EQ(lines.size(), 1u);
    // The entry place stays an (empty) argument of its own.
    EXPECT_EQ(lines[0], L"Rasdial \"\" user01 pw");
    EXPECT_EQ(Text(IDC_CONNECTION_NAME), L"宽带连接");
}

TEST_F(DialerWindowTest, EmptyPasswordSkipsTheStartUpDialButManualDialStillRuns) {
    StoreSettings("Text1=ADSL\r\nText2=user01\r\nText3=\r\n");
    ASSERT_TRUE(Open());
    EXPECT_TRUE(Shown());
    EXPECT_STREQ(dialer::TrayData().szInfo, L"你还没有填写上网帐号和密码哦！");
    PumpMessages(500);
    EXPECT_TRUE(record_.Lines().empty());

    Click(dialer::IDC_DIAL);
    auto entries = record_.WaitForLines(1);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], L"Rasdial ADSL user01 \"\"");
    EXPECT_STREQ(dialer::TrayData().szInfo, L"正在自动拨号中，请稍后......");
    EXPECT_STREQ(dialer::TrayData().szInfoTitle, L"ADSLZembrel");
}

TEST_F(DialerWindowTest, StoredAutoRedialDialsEveryIntervalAfterTheStartUpDial) {
    StoreSettings("Text1=ADSL\r\nText2=u\r\nText3=p\r\nVornadel2=1\r\n");
    ASSERT_TRUE(Open());
    EXPECT_TRUE(Checked(IDC_AUTO_REDIAL));
    EXPECT_TRUE(form_->RedialTimerEnabled());
    EXPECT_EQ(Text(IDC_REDIAL_FLAG), L"1");
    // Only the start-up dial in the first second; the timer's first tick comes later.
    PumpMessages(1500);
    EXPECT_EQ(record_.Lines().size(), 1u);
    auto lines = record_.WaitForLines(3, 12000);
    ASSERT_GE(lines.size(), 3u);
    for (const auto& l : lines) EXPECT_EQ(l, L"Rasdial ADSL u p");
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel2=1"), std::string::npos);
}

TEST_F(DialerWindowTest, FlagsOnlyExactlyOneMeansOn) {
    for (const char* stored : {"yes", "01", "true", "0", "2"}) {
        SCOPED_TRACE(stored);
        StoreSettings(std::string("Vornadel1=") + stored + "\r\nVornadel2=" + stored + "\r\n");
        ASSERT_TRUE(Open());
        EXPECT_FALSE(Checked(IDC_AUTOSTART));
        EXPECT_FALSE(Checked(IDC_AUTO_REDIAL));
        EXPECT_FALSE(form_->RedialTimerEnabled());
        EXPECT_FALSE(ReadRunValue().found);
        DestroyWindow(hwnd_);
    }
    // A trailing space is trimmed on reading: "1 " is on.
    StoreSettings("Vornadel2=1 \r\n");
    ASSERT_TRUE(Open());
    EXPECT_TRUE(Checked(IDC_AUTO_REDIAL));
    EXPECT_EQ(Text(IDC_REDIAL_FLAG), L"1");
}

TEST_F(DialerWindowTest, StoredStartWithWindowsRewritesRunValueAndFlag) {
    StoreSettings("Vornadel1=1\r\n");
    ASSERT_TRUE(Open());
    EXPECT_TRUE(Checked(IDC_AUTOSTART));
    EXPECT_EQ(Text(IDC_AUTOSTART_FLAG), L"1");
    RegValue v = ReadRunValue();
    ASSERT_TRUE(v.found);
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
    std::wstring expected = plat::ProgramFolder() + L"\\" + plat::ProgramBaseName() + L".Exe";
    if (expected.find(L' ') != std::wstring::npos) expected = L"\"" + expected + L"\"";
    EXPECT_EQ(v.data, expected);
}

TEST_F(DialerWindowTest, CheckBoxesSwitchRunValueTimerAndFlags) {
    ASSERT_TRUE(Open());
    Click(IDC_AUTOSTART);
    EXPECT_TRUE(ReadRunValue().found);
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel1=1"), std::string::npos);
    Click(IDC_AUTOSTART);
    EXPECT_FALSE(ReadRunValue().found);
    EXPECT_NE(ReadSettingsFileBytes().find("Vornadel1=0"), std::string::npos);
    // Removing a value that is already gone still counts as done.
    Click(IDC_AUTOSTART);
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
    EXPECT_EQ(Text(IDC_AUTOSTART_FLAG), L"");
    EXPECT_EQ(Text(IDC_REDIAL_FLAG), L"");
}

TEST_F(DialerWindowTest, CorruptSettingsFileStartsCleanly) {
    std::string junk = "\xFF\xFE[Option\r\n=\r\n[Option]\r\nText2";
    junk += std::string(100000, 'x');
    junk += std::string("\0\x01\x80\x81\r\nText3=\x81\r\n", 16);
    WriteSettingsFileBytes(junk);
    ASSERT_TRUE(Open());
    EXPECT_TRUE(Shown()) << "nothing usable stored: no dial, window up";
    EXPECT_EQ(Text(IDC_CONNECTION_NAME), L"宽带连接");
    EXPECT_LE(Text(IDC_PASSWORD).size(), 127u);
    PumpMessages(300);
    EXPECT_TRUE(record_.Lines().empty());
}
