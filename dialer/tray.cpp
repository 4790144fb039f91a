#include "dialer/tray.h"

#include "platform/handles.h"

namespace dialer {

namespace {

NOTIFYICONDATAW g_trayData{};
plat::UniqueIcon g_trayIcon;
bool g_lastCallOk = false;
bool g_iconShown = false;
ShellNotifyIconFunction g_shellNotifyIcon = &Shell_NotifyIconW;

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
    // A missing or unreadable file leaves no icon; the entry is added all the same.
    g_trayIcon.reset(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), iconFile.c_str(), IMAGE_ICON, 16, 16,
                                                   LR_LOADFROMFILE | LR_LOADMAP3DCOLORS)));
    g_trayData.hIcon = g_trayIcon.get();
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
