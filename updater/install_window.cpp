#include "updater/install_window.h"
#include "updater/resource.h"

#include "platform/errors.h"
#include "platform/dpi.h"
#include "platform/module_path.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/units.h"
#include "updater/download_window.h"
#include "updater/file_replace.h"
#include "updater/process_kill.h"

namespace updater {

const wchar_t kDialerExeName[] = L"vornadel.exe";
const wchar_t kTextCopying[] = L"正在复制文件......";
const wchar_t kTextSuccess[] = L"恭喜你！程序已经升级成功，谢谢你的使用！";
const wchar_t kTitleSuccess[] = L"提示： ";
const wchar_t kTextRunNow[] = L"现在是否运行VornadelZembrel？";
const wchar_t kTitleRunNow[] = L"提示";
const wchar_t kTitleFailure[] = L"提示";

namespace {

constexpr int kClientWidth = 90, kClientHeight = 90;
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

}  // namespace

InstallWindow* InstallWindow::Create(HWND downloadWindow, const std::wstring& downloadedFile, const Digest& sha256,
                                     const std::wstring& programFolder) {
    // Never seen; at the primary monitor's corner, at its DPI.
    const int dpi = plat::SystemDpi();
    RECT outer = plat::OuterRectForClientAt(0, 0, plat::TwipsToPixelsAt(kClientWidth, dpi),
                                            plat::TwipsToPixelsAt(kClientHeight, dpi), kFormStyle, 0, dpi);
    OffsetRect(&outer, -outer.left, -outer.top);
    auto* form = static_cast<InstallWindow*>(
        OpenForm(std::unique_ptr<InstallWindow>(new InstallWindow(downloadWindow, downloadedFile, sha256, programFolder)),
                 {kUpdaterCaption, kFormStyle, 0, outer}));
    if (!form) return nullptr;
    // Creation holds a captioned window to a minimum width; a later resize does not.
    SetWindowPos(form->hwnd(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    form->layout_.Attach(form->hwnd(), dpi);
    plat::SetWindowIcons(form->hwnd(), IDI_UPDATER);
    form->OnLoad();
    return form;
}

void InstallWindow::OnLoad() {
    // Checked before any dialer is asked to go: an update that cannot be put
    // in place must not cost the user a running dialer.
    if (const DWORD error = CheckFolderWritable(programFolder_)) {
        folderError_ = UnwritableFolderMessage(programFolder_, error);
        PostMessageW(hwnd(), kFolderNotWritableMessage, 0, 0);
        ShowWindow(hwnd(), SW_HIDE);
        return;
    }
    dialerWasRunning_ = !FindProcesses(target_).empty();
    // The dialer saves its fields and removes its tray icon when it is closed
    // normally; only one that does not go is ended from outside.
    AskProcessesToClose(target_);
    SetTimer(hwnd(), kEndDialersTimerId, kEndDialersDelay, nullptr);
    installTimer_.SetEnabled(hwnd(), true);
    ShowWindow(hwnd(), SW_HIDE);
}

void InstallWindow::EndRemainingDialers() {
    KillTimer(hwnd(), kEndDialersTimerId);
    if (dialersEnded_) return;
    dialersEnded_ = true;
    KillProcess(target_);
}

HWND InstallWindow::MessageBoxOwner() const { return IsWindow(downloadWindow_) ? downloadWindow_ : nullptr; }

void InstallWindow::OnInstallTimer() {
    // One-shot: the message boxes below pump messages, and a second tick
    // must not start the install again.
    if (installing_) return;
    installing_ = true;
    installTimer_.SetEnabled(hwnd(), false);
    EndRemainingDialers();

    const bool downloadWindowOpen = IsWindow(downloadWindow_) != FALSE;
    if (downloadWindowOpen) plat::SetWindowTextOf(GetDlgItem(downloadWindow_, IDC_STATUS), kTextCopying);

    ReplaceResult replaced = ReplaceProgramFile(downloadedFile_, sha256_, target_, kReplaceRetryMs);
    if (!replaced.ok) {
        std::wstring text = L"升级失败：" + replaced.reason + plat::ErrorSuffix(replaced.error) + L"。\n";
        if (replaced.backupKept.empty()) {
            // The old dialer goes on re-dialling at once, not after the box.
            if (dialerWasRunning_) plat::StartProcess(plat::QuoteArgument(target_), SW_SHOWNORMAL, programFolder_);
            text += L"原来的程序没有改动。";
        } else {
            text += L"原来的程序无法放回原处，已保存为 " + replaced.backupKept + L"，请手动改回 " + kDialerExeName +
                    L"。";
        }
        FailAndClose(text);
        return;
    }
    MessageBoxW(MessageBoxOwner(), kTextSuccess, kTitleSuccess, MB_OK | MB_ICONINFORMATION);
    if (MessageBoxW(MessageBoxOwner(), kTextRunNow, kTitleRunNow, MB_YESNO) == IDYES)
        plat::StartProcess(plat::QuoteArgument(target_), SW_SHOWNORMAL, programFolder_);
    CloseBothWindows();
}

void InstallWindow::FailAndClose(const std::wstring& text) {
    MessageBoxW(MessageBoxOwner(), text.c_str(), kTitleFailure, MB_OK | MB_ICONERROR);
    CloseBothWindows();
}

void InstallWindow::CloseBothWindows() {
    HWND downloadWindow = downloadWindow_;
    DestroyWindow(hwnd());  // deletes this object
    if (IsWindow(downloadWindow)) DestroyWindow(downloadWindow);
}

LRESULT InstallWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_GETMINMAXINFO) {
        // The designed client area is smaller than a captioned window's
        // usual minimum; the window is never seen, so let it be that small.
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = {1, 1};
        return 0;
    }
    if (msg == kFolderNotWritableMessage) {
        FailAndClose(folderError_);
        return 0;
    }
    if (msg == WM_DPICHANGED) {
        layout_.OnDpiChanged(wParam, lParam);
        return 0;
    }
    if (msg == WM_TIMER) {
        if (wParam == kInstallTimerId) {
            OnInstallTimer();
            return 0;
        }
        if (wParam == kEndDialersTimerId) {
            EndRemainingDialers();
            return 0;
        }
    }
    return Default(msg, wParam, lParam);
}

}  // namespace updater
