#include "tests/dialer/dialer_fixture.h"

#include <commctrl.h>

#include <algorithm>

using namespace testing_support;
using namespace dialer;

static BOOL WINAPI RefusingTray(DWORD message, PNOTIFYICONDATAW data) {
    return message == NIM_DELETE ? Shell_NotifyIconW(message, data) : FALSE;
}

static plat::LinkState g_reported = plat::LinkState::Unknown;
static std::wstring g_askedFor;
static plat::LinkState ReportedLink(const std::wstring& entry) {
    g_askedFor = entry;
    return g_reported;
}

// Answers the message box the test's own window opens, noting its text and whether the tray icon was still up.
static std::wstring g_boxText;
static bool g_iconUpAtBox = true;
static void CALLBACK AnswerBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindWindowOf(GetCurrentProcessId(), L"#32770", nullptr);
    if (!box || !IsWindowVisible(box) || !g_boxText.empty()) return;
    g_boxText = plat::WindowText(GetDlgItem(box, 0xFFFF));
    g_iconUpAtBox = TrayIconShown();
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(Dialer, WithoutAFullAccountTheWindowStaysUpOnlyAManualDialRunsAndTheBoxesSwitchRunValueTimerAndFlags) {
    const std::string opt = "[Option]\r\n";
    // Only exactly "1" switches a flag on; the last has an account but no password.
    const std::string stored[] = {"", opt + "Vornadel1=yes\r\nVornadel2=01\r\n",
                                  opt + "Vornadel1=true\r\nVornadel2=2\r\n", opt + "Text2=user01\r\nText3=\r\n"};
    for (const auto& file : stored) {
        SCOPED_TRACE(file.substr(0, 40));
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
        if (!file.empty()) WriteSettingsFileBytes(file);
        ASSERT_TRUE(Open());
        EXPECT_TRUE(ReadSettingsFileBytes() == file) << "starting stores nothing";
        EXPECT_TRUE(Shown());
        EXPECT_EQ(SendMessageW(form_->ToolTip(), TTM_GETTOOLCOUNT, 0, 0), 4) << "the fields and the box have tips";
        EXPECT_TRUE(SendMessageW(hwnd_, WM_GETICON, ICON_BIG, 0) && SendMessageW(hwnd_, WM_GETICON, ICON_SMALL, 0));
        EXPECT_EQ(Balloon(), L"你还没有填写上网帐号和密码哦！");
        EXPECT_FALSE(Checked(IDC_AUTOSTART));
        EXPECT_FALSE(Checked(IDC_AUTO_REDIAL));
        EXPECT_FALSE(form_->RedialTimerEnabled());
        EXPECT_FALSE(ReadRunValue().found);
    }
    for (const char* on : {"1", "0"}) {
        Click(IDC_AUTOSTART);
        Click(IDC_AUTO_REDIAL);
        EXPECT_EQ(ReadRunValue().found, *on == '1');
        EXPECT_EQ(form_->RedialTimerEnabled(), *on == '1');
        const std::string file = ReadSettingsFileBytes();
        EXPECT_NE(file.find(std::string("Vornadel1=") + on), std::string::npos) << file;
        EXPECT_NE(file.find(std::string("Vornadel2=") + on), std::string::npos) << file;
    }
    PumpMessages(700);
    EXPECT_TRUE(record_.Lines().empty()) << "no dial without a full account, nor on switching re-dial on";

    Click(IDC_DIAL);
    ASSERT_EQ(record_.WaitForLines(1).size(), 1u);
    EXPECT_EQ(record_.Lines()[0], L"Rasdial 宽带连接 user01 \"\"");
    EXPECT_EQ(Balloon(), L"正在自动拨号中，请稍后......");
}

TEST_F(Dialer, StoredReDialFlagReDialsEveryIntervalAfterTheStartUpDialWithTheNameFilledIn) {
    ASSERT_TRUE(Open("Text2=u\r\nText3=p\r\nVornadel2=1 \r\n"));
    EXPECT_FALSE(IsWindowVisible(hwnd_)) << "the dial goes on in the tray";
    EXPECT_TRUE(Checked(IDC_AUTO_REDIAL));
    // Only the start-up dial in the first second; the timer's first tick comes later.
    PumpMessages(1500);
    ASSERT_EQ(record_.Lines(), std::vector<std::wstring>{L"Rasdial \"\" u p"}) << "the entry place stays";
    EXPECT_EQ(form_->ToolTip(), nullptr) << "no tips for a window never up";
    Command(IDM_SHOW);
    EXPECT_EQ(SendMessageW(form_->ToolTip(), TTM_GETTOOLCOUNT, 0, 0), 4) << "made when it is first shown";
    EXPECT_TRUE(SendMessageW(hwnd_, WM_GETICON, ICON_BIG, 0) && SendMessageW(hwnd_, WM_GETICON, ICON_SMALL, 0));
    ShowWindow(hwnd_, SW_MINIMIZE);
    Command(IDM_DISCONNECT);
    const auto lines = record_.WaitForLines(4, 12000);
    ASSERT_GE(lines.size(), 4u) << "a disconnect leaves re-dial on";
    EXPECT_EQ(static_cast<size_t>(std::count(lines.begin(), lines.end(), L"Rasdial 宽带连接 u p")), lines.size() - 2);
}

TEST_F(Dialer, OneDialOfOursAtATimeAndAHungOneEndsAfterItsLimitWithOrWithoutReDial) {
    // The fixture's rasdial stays running while this file is there.
    plat::UniqueFile(
        CreateFileW((record_.path() + L".hang").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DialProcesses::SetTimeLimit(1500);
    ASSERT_TRUE(Open("Text1=ADSL\r\nText2=u\r\n"));
    Click(IDC_DIAL);
    Command(IDM_CONNECT);
    EXPECT_EQ(Balloon(), L"上次拨号还没有结束，请稍后再试。");
    Click(IDC_AUTO_REDIAL);
    for (int tick = 0; tick < 3; ++tick) {
        Tick(kRedialTimerId);
        PumpMessages(200);
    }
    EXPECT_EQ(record_.Lines().size(), 1u) << "neither a second click nor a re-dial joins the running dial";
    EXPECT_EQ(RunningProcesses(L"rasdial.exe"), 1);
    Click(IDC_AUTO_REDIAL);
    EXPECT_TRUE(PumpUntil([] { return RunningProcesses(L"rasdial.exe") == 0; })) << "ended after its limit";
    EXPECT_TRUE(PumpUntil([&] { return !form_->DialWatchTimerEnabled(); }));
    Click(IDC_DIAL);
    EXPECT_EQ(record_.WaitForLines(2).size(), 2u) << "the next click dials";
}

TEST_F(Dialer, ReDialAsksForTheLinkFirstAndStartsNothingWhileItIsUp) {
    ASSERT_TRUE(Open("Text1=My Link\r\nText2=u\r\nText3=p\r\nVornadel2=1\r\n"));
    ASSERT_EQ(record_.WaitForLines(1).size(), 1u) << "the start-up dial";
    EXPECT_EQ(GetModuleHandleW(L"rasapi32.dll"), nullptr) << "no remote-access library at start-up";
    // The system's answer: Wine lists no connection, so the link is down.
    ASSERT_TRUE(PumpUntil([] { return RunningProcesses(L"rasdial.exe") == 0; }));
    Tick(kRedialTimerId);
    ASSERT_EQ(record_.WaitForLines(2).size(), 2u);
    wchar_t system[MAX_PATH] = {}, loaded[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    GetModuleFileNameW(GetModuleHandleW(L"rasapi32.dll"), loaded, MAX_PATH);
    EXPECT_EQ(_wcsicmp(loaded, (std::wstring(system) + L"\\rasapi32.dll").c_str()), 0) << loaded;
    SetLinkStateQuery(ReportedLink);
    using plat::LinkState;
    size_t dials = 2;
    for (LinkState state : {LinkState::Up, LinkState::Down, LinkState::Up, LinkState::Unknown}) {
        g_reported = state;
        ASSERT_TRUE(PumpUntil([] { return RunningProcesses(L"rasdial.exe") == 0; }));
        Tick(kRedialTimerId);
        if (state == LinkState::Up) PumpMessages(700);
        dials += state != LinkState::Up;
        EXPECT_EQ(record_.WaitForLines(dials).size(), dials) << "link state " << static_cast<int>(state);
    }
    EXPECT_EQ(g_askedFor, L"My Link");
    g_reported = LinkState::Up;
    Click(IDC_DIAL);
    EXPECT_EQ(record_.WaitForLines(dials + 1).size(), dials + 1) << "a click dials whatever the link";
}

TEST_F(Dialer, WithoutTrayOrIconFileTheDialGoesOnCommandsStartTrayPressesRestoreAndACloseSavesWhatItCan) {
    SetShellNotifyIconFunction(RefusingTray);
    const std::wstring icon = TestBinFolder() + L"\\xptray.ico", aside = icon + L".aside";
    ASSERT_TRUE(MoveFileExW(icon.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING));
    const bool opened = Open("Text1=My Link\r\nText2=u\r\nText3=p\r\n") != nullptr;
    MoveFileExW(aside.c_str(), icon.c_str(), MOVEFILE_REPLACE_EXISTING);
    ASSERT_TRUE(opened);
    ASSERT_EQ(record_.WaitForLines(1).size(), 1u) << "dials all the same";
    EXPECT_FALSE(TrayIconShown());
    Tick(kTrayRetryTimerId);
    EXPECT_TRUE(Shown()) << "still no icon";
    ShowWindow(hwnd_, SW_MINIMIZE);
    EXPECT_TRUE(IsWindowVisible(hwnd_)) << "minimised on the taskbar, not hidden";
    ShowWindow(hwnd_, SW_RESTORE);
    SetShellNotifyIconFunction(nullptr);
    ASSERT_TRUE(PumpUntil([] { return TrayIconShown(); }, 3000)) << "the retry timer adds it";
    EXPECT_NE(TrayData().hIcon, nullptr) << "the program's own icon without the file";
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    EXPECT_EQ(Balloon(), L"正在自动拨号中，请稍后......");

    Command(IDM_CONNECT);
    Click(IDC_DISCONNECT);
    EXPECT_EQ(Balloon(), L"宽带连接已断开");
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

    for (UINT m : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_MBUTTONDOWN,
                   WM_MBUTTONUP, WM_MBUTTONDBLCLK})
        TrayPress(m);
    // Nor is an ordinary mouse move whose X happens to be a button-down code.
    SendMessageW(hwnd_, WM_MOUSEMOVE, 0, MAKELPARAM(WM_LBUTTONDOWN, 5));
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    TrayPress(WM_LBUTTONDOWN);
    EXPECT_TRUE(Shown());
    ShowWindow(hwnd_, SW_MAXIMIZE);
    ShowWindow(hwnd_, SW_MINIMIZE);
    PumpMessages(50);
    EXPECT_FALSE(IsWindowVisible(hwnd_)) << "a minimised dialer shows only its tray icon";
    Command(IDM_SHOW);
    EXPECT_TRUE(Shown());
    EXPECT_FALSE(IsZoomed(hwnd_)) << "comes back in the normal state";

    Shell_NotifyIconW(NIM_DELETE, const_cast<NOTIFYICONDATAW*>(&TrayData()));
    SendMessageW(hwnd_, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    NOTIFYICONDATAW probe = TrayData();
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the shell has it again";
    EXPECT_TRUE(Shown()) << "brought back by the user: a late icon leaves it up";

    // Fields the code page cannot hold are named in a balloon while typed, and in a box at the close, where a
    // balloon would go with the icon; they are stored as well as they can be.
    SetWindowTextW(C(IDC_ACCOUNT), L"user09\U0001F600");
    EXPECT_NE(Balloon().find(L"用户名"), std::wstring::npos);
    SetWindowTextW(C(IDC_CONNECTION_NAME), L"\u0B85");
    const UINT_PTR answering = SetTimer(nullptr, 0, 50, AnswerBox);
    SendMessageW(hwnd_, WM_CLOSE, 0, 0);
    KillTimer(nullptr, answering);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd_); }));
    EXPECT_NE(ReadSettingsFileBytes().find("Text2=user09"), std::string::npos);
    EXPECT_NE(g_boxText.find(L"连接名称、用户名"), std::wstring::npos) << "named when saved";
    EXPECT_FALSE(g_iconUpAtBox);
    EXPECT_TRUE(LastTrayCallSucceeded()) << "the icon was deleted";
}
