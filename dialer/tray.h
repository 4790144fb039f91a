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

void AddTrayIcon(HWND window, const std::wstring& iconFile, const std::wstring& tip);
void ShowBalloon(HWND window, const std::wstring& text, const std::wstring& title, DWORD infoFlag);
void DeleteTrayIcon();
// Loads the icon again at the small-icon size of a new DPI and shows it.
void ReloadTrayIcon(int dpi);
// Puts the icon up again as AddTrayIcon last did (after the taskbar was re-created).
void RestoreTrayIcon();

// The shared record, as last sent.
const NOTIFYICONDATAW& TrayData();
// Result of the last Shell_NotifyIcon call of this module.
bool LastTrayCallSucceeded();

}  // namespace dialer
