#include "tests/dialer/dialer_fixture.h"

#include <algorithm>

using namespace testing_support;
using namespace dialer;

static bool g_menuOverForegroundForm = false, g_closeInMenu = false;

// Runs inside the popup menu's modal loop; the close stands for the updater's.
static void CALLBACK InspectMenu(HWND form, UINT, UINT_PTR id, DWORD) {
    KillTimer(form, id);
    HWND menu = FindWindowW(L"#32768", nullptr);
    g_menuOverForegroundForm = menu && IsWindowVisible(menu) && GetForegroundWindow() == form;
    if (g_closeInMenu)
        PostMessageW(form, WM_CLOSE, 0, 0);
    else
        EndMenu();
}

// A shell without a tray.
static BOOL WINAPI RefusingTray(DWORD message, PNOTIFYICONDATAW data) {
    return message == NIM_DELETE ? Shell_NotifyIconW(message, data) : FALSE;
}

TEST_F(DialerWindowTest, WithoutItsIconFileMinimiseHidesTrayPressesRestoreAndACloseInsideTheMenuWaitsForItAndSaves) {
    const std::wstring icon = TestBinFolder() + L"\\xptray.ico", aside = icon + L".aside";
    ASSERT_TRUE(MoveFileExW(icon.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING));
    const bool opened = Open() != nullptr;
    MoveFileExW(aside.c_str(), icon.c_str(), MOVEFILE_REPLACE_EXISTING);
    ASSERT_TRUE(opened);
    EXPECT_EQ(TrayData().hIcon, nullptr);
    ASSERT_TRUE(TrayIconShown()) << "added all the same";
    ShowWindow(hwnd_, SW_MAXIMIZE);
    ShowWindow(hwnd_, SW_MINIMIZE);
    PumpMessages(50);
    EXPECT_FALSE(IsWindowVisible(hwnd_)) << "a minimised dialer shows only its tray icon";
    for (UINT m : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_MBUTTONDOWN,
                   WM_MBUTTONUP, WM_MBUTTONDBLCLK})
        TrayPress(m);
    // Nor is an ordinary mouse move whose X happens to be a button-down code.
    SendMessageW(hwnd_, WM_MOUSEMOVE, 0, MAKELPARAM(WM_LBUTTONDOWN, 5));
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    TrayPress(WM_LBUTTONDOWN);
    EXPECT_TRUE(Shown());
    EXPECT_FALSE(IsZoomed(hwnd_)) << "comes back in the normal state";
    ShowWindow(hwnd_, SW_MINIMIZE);
    Command(IDM_SHOW);
    EXPECT_TRUE(Shown());

    // Fields the code page cannot hold are named in a balloon, once until they change.
    HWND account = form_->Control(IDC_ACCOUNT);
    SetWindowTextW(account, L"user\U0001F600");
    EXPECT_NE(Balloon().find(L"用户名"), std::wstring::npos);
    Click(IDC_DISCONNECT);  // another balloon
    SetWindowTextW(account, L"user\U0001F600\U0001F600");
    EXPECT_EQ(Balloon(), L"宽带连接已断开");
    SetWindowTextW(account, L"user09");
    SetWindowTextW(form_->Control(IDC_CONNECTION_NAME), L"\u0B85");
    EXPECT_NE(Balloon().find(L"连接名称"), std::wstring::npos);
    SetWindowTextW(account, L"user09\u0B85");
    EXPECT_NE(Balloon().find(L"用户名"), std::wstring::npos) << "warned again";

    for (bool close : {false, true}) {
        g_closeInMenu = close;
        g_menuOverForegroundForm = false;
        SetTimer(hwnd_, 99, 300, InspectMenu);
        TrayPress(WM_RBUTTONDOWN);  // returns when the menu has closed
        EXPECT_TRUE(g_menuOverForegroundForm) << close;
    }
    EXPECT_TRUE(IsWindow(hwnd_)) << "not destroyed under the menu's code";
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd_); }));
    EXPECT_NE(ReadSettingsFileBytes().find("Text2=user09"), std::string::npos) << "stored as well as it can be";
    EXPECT_NE(Balloon().find(L"连接名称、用户名"), std::wstring::npos) << "named when saved";
    EXPECT_FALSE(TrayIconShown());
    EXPECT_TRUE(LastTrayCallSucceeded()) << "the icon was deleted";
}

TEST_F(DialerWindowTest, HungDialIsNotJoinedByRedialsAndEndsAfterItsLimit) {
    // The fixture's rasdial stays running while this file is there.
    plat::UniqueFile(
        CreateFileW((record_.path() + L".hang").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DialProcesses::SetTimeLimit(1500);
    ASSERT_TRUE(Open("Text1=ADSL\r\nText2=u\r\nText3=*\r\nVornadel2=1\r\n"));
    ASSERT_EQ(record_.WaitForLines(1).size(), 1u);
    for (int tick = 0; tick < 3; ++tick) {
        Tick(kRedialTimerId);
        PumpMessages(200);
    }
    EXPECT_EQ(record_.Lines().size(), 1u) << "no re-dial while the dial runs";
    Click(IDC_DIAL);
    EXPECT_EQ(record_.WaitForLines(2).size(), 2u) << "a manual dial starts at once";
    EXPECT_EQ(RunningProcesses(L"rasdial.exe"), 2);
    PumpMessages(1700);  // both past the limit
    Tick(kRedialTimerId);
    EXPECT_EQ(record_.WaitForLines(3).size(), 3u);
    EXPECT_TRUE(PumpUntil([] { return RunningProcesses(L"rasdial.exe") == 1; })) << "the hung ones were ended";
    PumpMessages(300);
    EXPECT_EQ(record_.Lines().size(), 3u);
}

// At log-on the shell may have no tray yet, and a restarted one has lost the icon.
TEST_F(DialerWindowTest, StartUpDialHidesOnceTheTrayTakesTheIconCommandsStartAndTaskbarCreatedAddsTheIconAgain) {
    SetShellNotifyIconFunction(RefusingTray);
    ASSERT_TRUE(Open("Text1=My Link\r\nText2=u\r\nText3=p\r\n"));
    ASSERT_EQ(record_.WaitForLines(1).size(), 1u) << "dials all the same";
    EXPECT_FALSE(TrayIconShown());
    Tick(kTrayRetryTimerId);
    EXPECT_TRUE(Shown()) << "still no icon";
    ShowWindow(hwnd_, SW_MINIMIZE);
    EXPECT_TRUE(IsWindowVisible(hwnd_)) << "minimised on the taskbar, not hidden";
    ShowWindow(hwnd_, SW_RESTORE);
    SetShellNotifyIconFunction(nullptr);
    ASSERT_TRUE(PumpUntil([] { return TrayIconShown(); }, 3000)) << "the retry timer adds it";
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    EXPECT_EQ(Balloon(), L"正在自动拨号中，请稍后......");
    EXPECT_STREQ(TrayData().szInfoTitle, L"提示：");
    EXPECT_STREQ(TrayData().szTip, L"ADSLZembrel") << "a balloon leaves the tip alone";
    EXPECT_NE(TrayData().hIcon, nullptr) << "xptray.ico beside the program";

    Command(IDM_CONNECT);
    Click(IDC_DISCONNECT);
    EXPECT_EQ(Balloon(), L"宽带连接已断开");
    EXPECT_STREQ(TrayData().szInfoTitle, L"ADSLZembrel");
    Command(IDM_DISCONNECT);
    Click(IDC_UPDATE);
    Command(IDM_UPDATE);
    ASSERT_EQ(record_.WaitForLines(6).size(), 6u);
    // Started processes overlap: compare without order, with the window style asked for.
    std::vector<std::wstring> got;
    for (const auto& e : record_.Entries()) got.push_back(std::to_wstring(e.show) + L" " + e.commandLine);
    std::sort(got.begin(), got.end());
    const std::wstring dial = L"0 Rasdial \"My Link\" u p", hangUp = L"0 rasdial.exe \"My Link\" /disconnect";
    EXPECT_EQ(got, std::vector<std::wstring>({dial, dial, hangUp, hangUp, L"1 update.exe", L"1 update.exe"}));

    TrayPress(WM_LBUTTONDOWN);
    Shell_NotifyIconW(NIM_DELETE, const_cast<NOTIFYICONDATAW*>(&TrayData()));
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    SetShellNotifyIconFunction(RefusingTray);
    SendMessageW(hwnd_, taskbarCreated, 0, 0);
    EXPECT_FALSE(TrayIconShown());
    SetShellNotifyIconFunction(nullptr);
    SendMessageW(hwnd_, taskbarCreated, 0, 0);
    EXPECT_TRUE(TrayIconShown()) << "added again";
    EXPECT_TRUE(Shown()) << "brought back by the user: a late icon leaves it up";
}
