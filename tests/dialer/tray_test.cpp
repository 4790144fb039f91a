// The tray icon's presses, the popup menu, hiding on minimise, and the
// handlers reached from the menu and the buttons.
#include "tests/dialer/dialer_fixture.h"

using namespace testing_support;

namespace {

struct MenuProbe {
    bool sawMenu = false;
    bool formWasForeground = false;
    HWND form = nullptr;
};
MenuProbe g_probe;

BOOL CALLBACK FindVisibleMenu(HWND hwnd, LPARAM found) {
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (lstrcmpW(cls, L"#32768") == 0 && IsWindowVisible(hwnd)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

// Runs inside the popup menu's modal loop: looks at it, then closes it.
void CALLBACK InspectAndCloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    bool found = false;
    EnumWindows(FindVisibleMenu, reinterpret_cast<LPARAM>(&found));
    g_probe.sawMenu = found;
    g_probe.formWasForeground = GetForegroundWindow() == g_probe.form;
    EndMenu();
}

}  // namespace

TEST_F(DialerWindowTest, MinimiseHidesAndLeftPressRestoresNormal) {
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
}

TEST_F(DialerWindowTest, ShowMenuItemRestoresHiddenWindow) {
    StoreSettings("Text2=u\r\nText3=p\r\n");
    ASSERT_TRUE(Open());
    record_.WaitForLines(1);
    ASSERT_FALSE(IsWindowVisible(hwnd_));
    SendMessageW(hwnd_, WM_COMMAND, dialer::IDM_SHOW, 0);
    EXPECT_TRUE(Shown());
}

TEST_F(DialerWindowTest, RightPressOpensPopupMenuInForeground) {
    ASSERT_TRUE(Open());
    g_probe = MenuProbe{};
    g_probe.form = hwnd_;
    SetTimer(nullptr, 0, 300, InspectAndCloseMenu);
    TrayPress(WM_RBUTTONDOWN);  // returns when the menu has closed
    EXPECT_TRUE(g_probe.sawMenu);
    EXPECT_TRUE(g_probe.formWasForeground);
}

TEST_F(DialerWindowTest, PopupMenuItemsInOrder) {
    ASSERT_TRUE(Open());
    HMENU menu = form_->PopupMenu();
    ASSERT_TRUE(menu);
    EXPECT_EQ(GetMenu(hwnd_), nullptr) << "no menu bar";
    const wchar_t* captions[] = {L"显示", L"连接网络", L"断开网络", L"软件升级", L"关于程序", nullptr, L"退出Vornadel"};
    ASSERT_EQ(GetMenuItemCount(menu), 7);
    for (int i = 0; i < 7; ++i) {
        MENUITEMINFOW info{};
        wchar_t text[64] = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = 64;
        ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &info));
        if (!captions[i]) {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR);
            continue;
        }
        EXPECT_STREQ(text, captions[i]);
        EXPECT_FALSE(info.fState & (MFS_DISABLED | MFS_CHECKED));
    }
}

TEST_F(DialerWindowTest, MenuAndButtonsStartTheirCommands) {
    StoreSettings("Text1=ADSL\r\n");
    ASSERT_TRUE(Open());
    SendMessageW(hwnd_, WM_COMMAND, dialer::IDM_LJ, 0);
    Click(dialer::IDC_COMMAND2);
    EXPECT_STREQ(dialer::TrayData().szInfo, L"宽带连接已断开");
    EXPECT_STREQ(dialer::TrayData().szInfoTitle, L"ADSLZembrel");
    SendMessageW(hwnd_, WM_COMMAND, dialer::IDM_DK, 0);
    Click(dialer::IDC_COMMAND4);
    SendMessageW(hwnd_, WM_COMMAND, dialer::IDM_UPDATE, 0);
    auto entries = record_.WaitForLines(5);
    ASSERT_EQ(entries.size(), 5u);
    // Started processes overlap; compare without order.
    std::vector<std::wstring> dial, disconnect, update;
    for (const auto& e : record_.Entries()) {
        if (e.commandLine.rfind(L"Rasdial ", 0) == 0) {
            EXPECT_EQ(e.show, SW_HIDE);
            dial.push_back(e.commandLine);
        } else if (e.commandLine.rfind(L"rasdial.exe ", 0) == 0) {
            EXPECT_EQ(e.show, SW_HIDE);
            disconnect.push_back(e.commandLine);
        } else {
            EXPECT_EQ(e.show, SW_SHOWNORMAL);
            update.push_back(e.commandLine);
        }
    }
    EXPECT_EQ(dial, std::vector<std::wstring>({L"Rasdial ADSL \"\" \"\""}));
    EXPECT_EQ(disconnect, std::vector<std::wstring>(2, L"rasdial.exe ADSL /disconnect"));
    EXPECT_EQ(update, std::vector<std::wstring>(2, L"update.exe"));
}

TEST_F(DialerWindowTest, DisconnectLeavesAutoRedialRunning) {
    StoreSettings("Text1=ADSL\r\nText2=u\r\nText3=p\r\nVornadel2=1\r\n");
    ASSERT_TRUE(Open());
    record_.WaitForLines(1);
    SendMessageW(hwnd_, WM_COMMAND, dialer::IDM_DK, 0);
    EXPECT_TRUE(form_->Timer1Enabled());
    // A tick dials again, whether or not a dial is still running.
    SendMessageW(hwnd_, WM_TIMER, dialer::kTimer1Id, 0);
    SendMessageW(hwnd_, WM_TIMER, dialer::kTimer1Id, 0);
    auto lines = record_.WaitForLines(4);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Rasdial ADSL u p"), 3);
}

TEST_F(DialerWindowTest, TrayIconComesBackWhenTheTaskbarIsRecreated) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(dialer::LastTrayCallSucceeded());
    Shell_NotifyIconW(NIM_DELETE, const_cast<NOTIFYICONDATAW*>(&dialer::TrayData()));
    SendMessageW(hwnd_, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(dialer::LastTrayCallSucceeded());
    EXPECT_EQ(dialer::TrayData().uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(dialer::TrayData().uCallbackMessage, dialer::kTrayCallbackMessage);
    // Added again: a second add of the same icon fails, a modify succeeds.
    NOTIFYICONDATAW probe = dialer::TrayData();
    probe.uFlags = NIF_TIP;
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe));
}

TEST_F(DialerWindowTest, IconComesFromTheProgramsFolder) {
    ASSERT_NE(GetFileAttributesW((TestBinFolder() + L"\\xptray.ico").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(Open());
    EXPECT_NE(dialer::TrayData().hIcon, nullptr);
    EXPECT_TRUE(dialer::LastTrayCallSucceeded());
}

TEST_F(DialerWindowTest, MissingIconFileStillAddsTheIcon) {
    const std::wstring icon = TestBinFolder() + L"\\xptray.ico";
    const std::wstring aside = icon + L".aside";
    ASSERT_TRUE(MoveFileExW(icon.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING));
    struct PutBack {
        std::wstring from, to;
        ~PutBack() { MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING); }
    } putBack{aside, icon};
    ASSERT_TRUE(Open());
    EXPECT_EQ(dialer::TrayData().hIcon, nullptr);
    EXPECT_TRUE(dialer::LastTrayCallSucceeded());
    EXPECT_STREQ(dialer::TrayData().szTip, L"ADSLZembrel");
}
