// The tray icon's presses, the popup menu, hiding on minimise, and the
// handlers reached from the menu and the buttons.
#include "tests/dialer/dialer_fixture.h"

#include <algorithm>

using namespace testing_support;

namespace {

bool g_sawMenu = false, g_formWasForeground = false;
HWND g_form = nullptr;

// Runs inside the popup menu's modal loop: looks at it, then closes it.
void CALLBACK InspectAndCloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND menu = FindWindowW(L"#32768", nullptr);
    g_sawMenu = menu && IsWindowVisible(menu);
    g_formWasForeground = GetForegroundWindow() == g_form;
    EndMenu();
}

// The updater's close arriving while the menu is open.
void CALLBACK CloseInsideTheMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND menu = FindWindowW(L"#32768", nullptr);
    g_sawMenu = menu && IsWindowVisible(menu);
    PostMessageW(g_form, WM_CLOSE, 0, 0);
}

// A shell whose tray takes no icon until told to.
bool g_trayRefuses = false;
BOOL WINAPI RefusingTray(DWORD message, PNOTIFYICONDATAW data) {
    if (g_trayRefuses && message != NIM_DELETE) return FALSE;
    return Shell_NotifyIconW(message, data);
}
struct RefusingTrayScope {
    RefusingTrayScope() {
        g_trayRefuses = true;
        dialer::SetShellNotifyIconFunction(RefusingTray);
    }
    ~RefusingTrayScope() { dialer::SetShellNotifyIconFunction(nullptr); }
};

// Dials that stay running, with a short time limit.
struct HungDials {
    explicit HungDials(const CommandRecord& record) : marker(record.path() + L".hang") {
        plat::UniqueFile(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        dialer::DialProcesses::SetTimeLimit(1500);
    }
    ~HungDials() {
        DeleteFileW(marker.c_str());
        dialer::DialProcesses::SetTimeLimit(dialer::kDialTimeLimitMs);
    }
    std::wstring marker;
};

}  // namespace

TEST_F(DialerWindowTest, MinimiseHidesAndPressOrShowRestoresNormal) {
    ASSERT_TRUE(Open());
    ShowWindow(hwnd_, SW_MAXIMIZE);
    ShowWindow(hwnd_, SW_MINIMIZE);
    PumpMessages(50);
    EXPECT_FALSE(IsWindowVisible(hwnd_)) << "a minimised dialer shows only its tray icon";
    // Releases, double-clicks, middle button and moves do nothing.
    for (UINT m : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_MBUTTONDOWN,
                   WM_MBUTTONUP, WM_MBUTTONDBLCLK}) {
        TrayPress(m);
        EXPECT_FALSE(IsWindowVisible(hwnd_)) << m;
    }
    // An ordinary mouse move whose X happens to be a button-down code is no tray press.
    SendMessageW(hwnd_, WM_MOUSEMOVE, 0, MAKELPARAM(WM_LBUTTONDOWN, 5));
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    TrayPress(WM_LBUTTONDOWN);
    EXPECT_TRUE(Shown());
    EXPECT_FALSE(IsZoomed(hwnd_)) << "comes back in the normal state";

    ShowWindow(hwnd_, SW_MINIMIZE);
    SendMessageW(hwnd_, WM_COMMAND, dialer::IDM_SHOW, 0);
    EXPECT_TRUE(Shown());
}

TEST_F(DialerWindowTest, RightPressOpensThePopupMenuOverTheForegroundForm) {
    ASSERT_TRUE(Open());
    g_form = hwnd_;
    SetTimer(nullptr, 0, 300, InspectAndCloseMenu);
    TrayPress(WM_RBUTTONDOWN);  // returns when the menu has closed
    EXPECT_TRUE(g_sawMenu);
    EXPECT_TRUE(g_formWasForeground);

    EXPECT_EQ(GetMenu(hwnd_), nullptr) << "no menu bar";
}

TEST_F(DialerWindowTest, MenuAndButtonsStartTheirCommands) {
    StoreSettings("Text1=ADSL\r\n");
    ASSERT_TRUE(Open());
    SendMessageW(hwnd_, WM_COMMAND, dialer::IDM_CONNECT, 0);
    Click(dialer::IDC_DISCONNECT);
    EXPECT_STREQ(dialer::TrayData().szInfo, L"宽带连接已断开");
    EXPECT_STREQ(dialer::TrayData().szInfoTitle, L"ADSLZembrel");
    SendMessageW(hwnd_, WM_COMMAND, dialer::IDM_DISCONNECT, 0);
    Click(dialer::IDC_UPDATE);
    SendMessageW(hwnd_, WM_COMMAND, dialer::IDM_UPDATE, 0);
    ASSERT_EQ(record_.WaitForLines(5).size(), 5u);
    // Started processes overlap: compare without order, with the window style asked for.
    std::vector<std::wstring> got;
    for (const auto& e : record_.Entries()) got.push_back(std::to_wstring(e.show) + L" " + e.commandLine);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, std::vector<std::wstring>({L"0 Rasdial ADSL \"\" \"\"", L"0 rasdial.exe ADSL /disconnect",
                                              L"0 rasdial.exe ADSL /disconnect", L"1 update.exe", L"1 update.exe"}));
}

TEST_F(DialerWindowTest, DisconnectLeavesAutoRedialRunning) {
    StoreSettings("Text1=ADSL\r\nText2=u\r\nText3=p\r\nVornadel2=1\r\n");
    ASSERT_TRUE(Open());
    record_.WaitForLines(1);
    SendMessageW(hwnd_, WM_COMMAND, dialer::IDM_DISCONNECT, 0);
    EXPECT_TRUE(form_->RedialTimerEnabled());
    // A tick dials again once the earlier dial has ended.
    auto dials = [&] {
        auto lines = record_.Lines();
        return std::count(lines.begin(), lines.end(), L"Rasdial ADSL u p");
    };
    EXPECT_TRUE(PumpUntil([&] {
        SendMessageW(hwnd_, WM_TIMER, dialer::kRedialTimerId, 0);
        return dials() >= 2;
    }));
}

TEST_F(DialerWindowTest, HungDialIsNotJoinedByRedialsAndEndsAfterItsLimit) {
    HungDials hung(record_);
    StoreSettings("Text1=ADSL\r\nText2=u\r\nText3=*\r\nVornadel2=1\r\n");
    ASSERT_TRUE(Open());
    ASSERT_EQ(record_.WaitForLines(1).size(), 1u);
    for (int tick = 0; tick < 3; ++tick) {
        SendMessageW(hwnd_, WM_TIMER, dialer::kRedialTimerId, 0);
        PumpMessages(200);
    }
    EXPECT_EQ(record_.Lines().size(), 1u) << "no re-dial while the dial runs";
    Click(dialer::IDC_DIAL);
    EXPECT_EQ(record_.WaitForLines(2).size(), 2u) << "a manual dial starts at once";
    EXPECT_EQ(RunningProcesses(L"rasdial.exe"), 2);
    PumpMessages(1700);  // both past the limit
    SendMessageW(hwnd_, WM_TIMER, dialer::kRedialTimerId, 0);
    EXPECT_EQ(record_.WaitForLines(3).size(), 3u);
    EXPECT_TRUE(PumpUntil([] { return RunningProcesses(L"rasdial.exe") == 1; })) << "the hung ones were ended";
    PumpMessages(300);
    EXPECT_EQ(record_.Lines().size(), 3u);
}

TEST_F(DialerWindowTest, CloseInsideTheTrayMenuWaitsForTheMenuThenUnloads) {
    StoreSettings("Text1=ADSL\r\n");
    ASSERT_TRUE(Open());
    g_form = hwnd_;
    SetWindowTextW(form_->Control(dialer::IDC_ACCOUNT), L"user09");
    SetTimer(nullptr, 0, 300, CloseInsideTheMenu);
    TrayPress(WM_RBUTTONDOWN);  // returns when the menu has closed
    EXPECT_TRUE(g_sawMenu);
    EXPECT_TRUE(IsWindow(hwnd_)) << "not destroyed under the menu's code";
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd_); }));
    EXPECT_NE(ReadSettingsFileBytes().find("Text2=user09"), std::string::npos);
    EXPECT_FALSE(dialer::TrayIconShown());
    EXPECT_TRUE(dialer::LastTrayCallSucceeded()) << "the icon was deleted";
}

TEST_F(DialerWindowTest, StartUpDialHidesOnlyOnceTheTrayTakesTheIcon) {
    RefusingTrayScope tray;
    StoreSettings("Text1=ADSL\r\nText2=u\r\nText3=p\r\n");
    ASSERT_TRUE(Open());
    EXPECT_EQ(record_.WaitForLines(1).size(), 1u) << "dials all the same";
    EXPECT_FALSE(dialer::TrayIconShown());
    EXPECT_TRUE(Shown());
    SendMessageW(hwnd_, WM_TIMER, dialer::kTrayRetryTimerId, 0);
    EXPECT_TRUE(Shown()) << "still no icon";
    ShowWindow(hwnd_, SW_MINIMIZE);
    EXPECT_TRUE(IsWindowVisible(hwnd_)) << "minimised on the taskbar, not hidden";
    ShowWindow(hwnd_, SW_RESTORE);

    g_trayRefuses = false;
    ASSERT_TRUE(PumpUntil([] { return dialer::TrayIconShown(); }, 3000)) << "the retry timer adds it";
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    EXPECT_STREQ(dialer::TrayData().szInfo, L"正在自动拨号中，请稍后......");
    EXPECT_STREQ(dialer::TrayData().szInfoTitle, L"提示：");
}

// A failed add, then a taskbar that comes back without the icon: each
// "TaskbarCreated" adds it again.
TEST_F(DialerWindowTest, TaskbarCreatedAddsTheIconAfterAFailedAddOrALostTaskbar) {
    RefusingTrayScope tray;
    ASSERT_TRUE(Open());
    EXPECT_FALSE(dialer::TrayIconShown());
    EXPECT_TRUE(Shown());
    g_trayRefuses = false;
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    SendMessageW(hwnd_, taskbarCreated, 0, 0);
    EXPECT_TRUE(dialer::TrayIconShown());
    EXPECT_TRUE(Shown()) << "nothing dialled: the window stays";
    EXPECT_STREQ(dialer::TrayData().szInfo, L"你还没有填写上网帐号和密码哦！");
    EXPECT_NE(dialer::TrayData().hIcon, nullptr) << "xptray.ico beside the program";
    Shell_NotifyIconW(NIM_DELETE, const_cast<NOTIFYICONDATAW*>(&dialer::TrayData()));
    SendMessageW(hwnd_, taskbarCreated, 0, 0);
    EXPECT_TRUE(dialer::LastTrayCallSucceeded());
    EXPECT_EQ(dialer::TrayData().uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(dialer::TrayData().uCallbackMessage, kTrayCallbackMessage);
    // Added again: modifying it succeeds.
    NOTIFYICONDATAW probe = dialer::TrayData();
    probe.uFlags = NIF_TIP;
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe));
}

TEST_F(DialerWindowTest, FieldTheCodePageCannotHoldIsNamedInABalloon) {
    ASSERT_TRUE(Open());
    HWND account = form_->Control(dialer::IDC_ACCOUNT);
    SetWindowTextW(account, L"user\U0001F600");
    EXPECT_NE(std::wstring(dialer::TrayData().szInfo).find(L"用户名"), std::wstring::npos);
    EXPECT_STREQ(dialer::TrayData().szInfoTitle, L"提示：");
    Click(dialer::IDC_DISCONNECT);  // another balloon
    SetWindowTextW(account, L"user\U0001F600\U0001F600");
    EXPECT_STREQ(dialer::TrayData().szInfo, L"宽带连接已断开") << "warned once while it stays unstorable";
    SetWindowTextW(account, L"user");
    SetWindowTextW(form_->Control(dialer::IDC_CONNECTION_NAME), L"\u0B85");
    EXPECT_NE(std::wstring(dialer::TrayData().szInfo).find(L"连接名称"), std::wstring::npos);
    SetWindowTextW(account, L"\u0B85");
    EXPECT_NE(std::wstring(dialer::TrayData().szInfo).find(L"用户名"), std::wstring::npos) << "warned again";

    form_->Unload();
    const std::wstring saved = dialer::TrayData().szInfo;
    EXPECT_NE(saved.find(L"连接名称、用户名"), std::wstring::npos) << "named when saved";
    EXPECT_NE(ReadSettingsFileBytes().find("Text2="), std::string::npos) << "stored as well as it can be";
}

TEST_F(DialerWindowTest, MissingIconFileStillAddsTheIcon) {
    const std::wstring icon = TestBinFolder() + L"\\xptray.ico", aside = icon + L".aside";
    ASSERT_TRUE(MoveFileExW(icon.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING));
    const bool opened = Open() != nullptr;
    MoveFileExW(aside.c_str(), icon.c_str(), MOVEFILE_REPLACE_EXISTING);
    ASSERT_TRUE(opened);
    EXPECT_EQ(dialer::TrayData().hIcon, nullptr);
    EXPECT_TRUE(dialer::LastTrayCallSucceeded());
    EXPECT_STREQ(dialer::TrayData().szTip, L"ADSLZembrel");
}
