// modTray: the dialer's notification-area icon. One record is shared by the
// three calls; each sets the fields it needs and hands the whole record over.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace dialer {

// The icon reports mouse actions on it with this message; lParam is the
// mouse message (WM_LBUTTONDOWN ...).
constexpr UINT kTrayCallbackMessage = WM_APP + 1;
constexpr UINT kTrayIconId = 1;

// True when the icon is up. At log-on the shell may not have its tray yet:
// then the add fails and the caller tries again later (RestoreTrayIcon).
bool AddTrayIcon(HWND window, const std::wstring& iconFile, const std::wstring& tip);
void ShowBalloon(HWND window, const std::wstring& text, const std::wstring& title, DWORD infoFlag);
void DeleteTrayIcon();
// Puts the icon up again as AddTrayIcon last did (after the taskbar was
// re-created, or when the first add failed); true when the icon is up.
bool RestoreTrayIcon();
// Whether the icon is up, as far as this module's calls know.
bool TrayIconShown();

// Tests only: the shell call the module makes (Shell_NotifyIconW by default).
using ShellNotifyIconFunction = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAW data);
void SetShellNotifyIconFunction(ShellNotifyIconFunction function);

// The shared record, as last sent.
const NOTIFYICONDATAW& TrayData();
// Result of the last Shell_NotifyIcon call of this module.
bool LastTrayCallSucceeded();

}  // namespace dialer
