// AboutWindow: the About window. One instance, modeless, without an owner.
#pragma once
#include <windows.h>

#include <string>

namespace dialer {

// Control identifiers of the About window, also used by tests.
enum AboutControlId : int {
    IDC_ABOUT_VERSION = 301,
    IDC_ABOUT_FRAME,
    IDC_ABOUT_SLOGAN,
    IDC_ABOUT_MESSENGER,
    IDC_ABOUT_WEB,
    IDC_ABOUT_AUTHOR,
};

extern const wchar_t kAboutCaption[];
// The browser both clickable lines start; every separator is two backslashes.
extern const wchar_t kBrowserProgram[];
// The maker's web site and e-mail address.
extern const wchar_t kMakerWebAddress[];
extern const wchar_t kMakerEmail[];

// Opens the About window, or brings the open one forward.
void ShowAboutWindow();
// The open About window, or null.
HWND AboutWindowHandle();
// A control of the open About window, or null.
HWND AboutControl(int id);

// The command line that opens target (a web address or a mailto: link) in the browser.
std::wstring BrowserCommandLine(const std::wstring& target);
// Starts that command line in a normal, focused window; where the browser
// program cannot be started, hands target to the system's default handler.
void OpenInBrowser(const std::wstring& target);

}  // namespace dialer
