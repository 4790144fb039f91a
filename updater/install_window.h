// InstallWindow of the updater: never seen. It ends the running dialer, and three
// seconds later puts the downloaded program in its place and offers to
// start it.
#pragma once
#include <windows.h>

#include <string>

#include "platform/app_messages.h"
#include "platform/dpi.h"
#include "platform/module_path.h"
#include "platform/window.h"
#include "updater/signature.h"

namespace updater {

constexpr UINT_PTR kInstallTimerId = 1;
constexpr UINT kInstallDelay = 3000;
// Dialers still running this long after being asked to close are ended.
constexpr UINT_PTR kEndDialersTimerId = 2;
constexpr UINT kEndDialersDelay = 2000;
// How long a target still held by an exiting dialer is waited for.
constexpr DWORD kReplaceRetryMs = 2000;
extern const wchar_t kDialerExeName[];
extern const wchar_t kTextCopying[];
extern const wchar_t kTextSuccess[];
extern const wchar_t kTitleSuccess[];
extern const wchar_t kTextRunNow[];
extern const wchar_t kTitleRunNow[];
extern const wchar_t kTitleFailure[];

class InstallWindow : public plat::Window {
public:
    // Creates the hidden window and runs its load handler. downloadWindow is
    // the DownloadWindow whose status line the install step uses and which it closes;
    // downloadedFile is the complete new program, which is installed only
    // while its SHA-256 is still sha256; the dialer is replaced and started in
    // programFolder. The window owns the object.
    static InstallWindow* Create(HWND downloadWindow, const std::wstring& downloadedFile, const Digest& sha256,
                                 const std::wstring& programFolder);

    bool InstallTimerEnabled() const { return installTimer_.Enabled(); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    InstallWindow(HWND downloadWindow, std::wstring downloadedFile, const Digest& sha256, std::wstring programFolder)
        : downloadWindow_(downloadWindow),
          downloadedFile_(std::move(downloadedFile)),
          sha256_(sha256),
          programFolder_(std::move(programFolder)),
          target_(plat::JoinPath(programFolder_, kDialerExeName)) {}

    void OnLoad();
    void OnInstallTimer();
    void EndRemainingDialers();
    HWND MessageBoxOwner() const;
    // Tells the user the update failed and closes both windows.
    void FailAndClose(const std::wstring& text);
    void CloseBothWindows();

    HWND downloadWindow_;
    std::wstring downloadedFile_;
    Digest sha256_;
    std::wstring programFolder_;
    std::wstring target_;  // the dialer being replaced
    plat::WindowTimer installTimer_{kInstallTimerId, kInstallDelay};
    plat::DpiLayout layout_;  // its size and icons at the window's DPI
    bool dialersEnded_ = false;
    bool installing_ = false;
    bool dialerWasRunning_ = false;
    std::wstring folderError_;
};

}  // namespace updater
