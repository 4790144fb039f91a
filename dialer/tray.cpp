#include "dialer/tray.h"

#include "dialer/resource.h"
#include "platform/dpi.h"
#include "platform/handles.h"

#include <utility>

namespace dialer {

namespace {

NOTIFYICONDATAW g_trayData{};
plat::UniqueIcon g_trayIcon;
bool g_lastCallOk = false;
bool g_iconShown = false;
ShellNotifyIconFunction g_shellNotifyIcon = &Shell_NotifyIconW;
std::wstring g_iconFile;

// The icon at the size the notification area shows at a DPI. Without a
// readable icon file the program's own icon stands in: never an empty place.
void LoadTrayIcon(int dpi) {
    const int cx = plat::SystemMetricAt(SM_CXSMICON, dpi), cy = plat::SystemMetricAt(SM_CYSMICON, dpi);
    HINSTANCE module = GetModuleHandleW(nullptr);
    g_trayIcon.reset(static_cast<HICON>(
        LoadImageW(module, g_iconFile.c_str(), IMAGE_ICON, cx, cy, LR_LOADFROMFILE | LR_LOADMAP3DCOLORS)));
    if (!g_trayIcon)
        g_trayIcon.reset(static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(IDI_VORNADEL), IMAGE_ICON, cx, cy, 0)));
    g_trayData.hIcon = g_trayIcon.get();
}

// Text, NUL, cut at the field's end.
template <size_t N>
void StoreText(wchar_t (&field)[N], const std::wstring& text) {
    size_t n = text.size() < N - 1 ? text.size() : N - 1;
    text.copy(field, n);
    for (size_t i = n; i < N; ++i) field[i] = L'\0';
}

bool Send(DWORD message) {
    g_lastCallOk = g_shellNotifyIcon(message, &g_trayData) != FALSE;
    return g_lastCallOk;
}

// NIM_ADD also fails when the icon is still there (a TaskbarCreated that lost
// nothing); a modify that succeeds tells the two apart.
bool AddOrFindIcon() {
    if (!Send(NIM_ADD)) Send(NIM_MODIFY);
    g_iconShown = g_lastCallOk;
    return g_iconShown;
}

void SetHeader(HWND window, UINT flags) {
    g_trayData.cbSize = NOTIFYICONDATAW_V2_SIZE;
    g_trayData.hWnd = window;
    g_trayData.uID = kTrayIconId;
    g_trayData.uFlags = flags;
}

}  // namespace

bool AddTrayIcon(HWND window, const std::wstring& iconFile, const std::wstring& tip) {
    SetHeader(window, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    g_trayData.uCallbackMessage = kTrayCallbackMessage;
    g_iconFile = iconFile;
    LoadTrayIcon(plat::LayoutDpiOf(window));
    StoreText(g_trayData.szTip, tip);
    return AddOrFindIcon();
}

void ShowBalloon(HWND window, const std::wstring& text, const std::wstring& title, DWORD infoFlag) {
    SetHeader(window, NIF_INFO);
    g_trayData.dwInfoFlags = infoFlag;
    StoreText(g_trayData.szInfoTitle, title);
    StoreText(g_trayData.szInfo, text);
    Send(NIM_MODIFY);
}

void ReloadTrayIcon(int dpi) {
    if (!g_trayData.hWnd || g_iconFile.empty()) return;
    // The old icon stays alive until the shell has the new one.
    plat::UniqueIcon old = std::move(g_trayIcon);
    LoadTrayIcon(dpi);
    if (!g_iconShown) return;  // the next add shows it
    g_trayData.uFlags = NIF_ICON;
    Send(NIM_MODIFY);
}

void DeleteTrayIcon() {
    Send(NIM_DELETE);
    g_iconShown = false;
}

bool RestoreTrayIcon() {
    g_trayData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    return AddOrFindIcon();
}

bool TrayIconShown() { return g_iconShown; }

void SetShellNotifyIconFunction(ShellNotifyIconFunction function) {
    g_shellNotifyIcon = function ? function : &Shell_NotifyIconW;
}

const NOTIFYICONDATAW& TrayData() { return g_trayData; }
bool LastTrayCallSucceeded() { return g_lastCallOk; }

}  // namespace dialer
