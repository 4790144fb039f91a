#include "updater/download_window.h"
#include "updater/resource.h"

#include <commctrl.h>

#include "platform/common_controls.h"
#include "platform/controls.h"
#include "platform/dpi.h"
#include "platform/errors.h"
#include "platform/handles.h"
#include "platform/module_path.h"
#include "platform/text.h"
#include "platform/units.h"
#include "updater/file_replace.h"
#include "updater/install_window.h"

namespace updater {

const wchar_t kUpdaterCaption[] = L"Vornadel升级程序";
const wchar_t kTextDownloadDone[] = L"文件已经下载完成！";
const wchar_t kTextCommunicationError[] = L"与主机通讯时出现了错误";
const wchar_t kTextFolderNotWritable[] = L"程序所在的文件夹不能写入，无法升级";
const wchar_t kTextCannotSave[] = L"无法保存下载的文件";
const wchar_t kTextBadCertificate[] = L"服务器的安全证书无效，已停止下载。";

namespace {

constexpr int kClientWidth = 5565, kClientHeight = 720;
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kDesignMax = 100;
constexpr long long kPieceSize = 1024;

// The status line of a state; null for the states that have none of their own.
const wchar_t* StatusTextFor(TransferState state) {
    switch (state) {
    case kStateResolving: return L"正在连接服务器";
    case kStateResolved: return L"成功连接到服务器";
    case kStateConnecting: return L"正在与服务器连接";
    case kStateConnected: return L"已与服务器连接成功";
    case kStateRequesting: return L"正在向服务器发送请求";
    case kStateRequestSent: return L"发送请求已成功";
    case kStateReceiving:
    case kStateResponseReceived: return L"正在下载所需文件，请耐心等待 ......";
    case kStateDisconnecting: return L"正在解除与服务器的连接";
    case kStateDisconnected: return L"文件下载完成...";
    case kStateError: return kTextCommunicationError;
    case kStateResponseCompleted: return nullptr;
    }
    return nullptr;
}

bool FolderExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring DownloadWindow::FileNameOfUrl(const std::wstring& url) {
    size_t slash = url.find_last_of(L'/');
    return slash == std::wstring::npos ? url : url.substr(slash + 1);
}

DownloadWindow* DownloadWindow::Create(const DownloadOptions& options) {
    plat::InitCommonControlClasses(ICC_PROGRESS_CLASS);

    // Centred on the screen, laid out at the DPI of the monitor there.
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    const int dpi = plat::DpiAtPoint({screenW / 2, screenH / 2});
    const int w = plat::TwipsToPixelsAt(kClientWidth, dpi), h = plat::TwipsToPixelsAt(kClientHeight, dpi);
    RECT outer = plat::OuterRectForClientAt(0, 0, w, h, kFormStyle, 0, dpi);
    const int outerW = outer.right - outer.left, outerH = outer.bottom - outer.top;
    const int x = (screenW - outerW) / 2, y = (screenH - outerH) / 2;
    auto* form = static_cast<DownloadWindow*>(OpenForm(std::unique_ptr<DownloadWindow>(new DownloadWindow(options, dpi)),
                                                       {kUpdaterCaption, kFormStyle, 0, {x, y, x + outerW, y + outerH}}));
    if (!form) return nullptr;
    HWND hwnd = form->hwnd();
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    form->OnLoad();
    return form;
}

bool DownloadWindow::OnCreate() {
    layout_.Attach(hwnd(), dpi_);
    if (!CreateControls()) return false;
    plat::SetWindowIcons(hwnd(), IDI_UPDATER);
    return true;
}

bool DownloadWindow::CreateControls() {
    using plat::CreateControl;
    HWND me = hwnd();
    const DWORD shown = WS_VISIBLE;
    CreateControl(me, PROGRESS_CLASSW, L"", shown, 0, {240, 120, 4575, 255}, IDC_PROGRESS);
    CreateControl(me, L"Static", L"", shown | SS_NOPREFIX, 0, {240, 480, 4575, 255}, IDC_STATUS);
    CreateControl(me, L"Edit", options_.url.c_str(), ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {120, 360, 5295, 270},
                  IDC_URL);
    CreateControl(me, L"Static", L"下载地址:", shown, 0, {2040, 2640, 855, 255}, IDC_URL_LABEL);
    CreateControl(me, L"Static", L"保存路径:", shown, 0, {2040, 3000, 855, 255}, IDC_PATH_LABEL);
    CreateControl(me, L"Edit", L".\\", shown | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                  {3120, 3000, 3495, 270}, IDC_LOCAL_PATH);
    CreateControl(me, L"Button", L"取消下载", shown | WS_TABSTOP | BS_PUSHBUTTON, 0, {4800, 3480, 975, 495},
                  IDC_CANCEL);
    for (int id : {IDC_PROGRESS, IDC_URL_LABEL, IDC_PATH_LABEL, IDC_STATUS, IDC_URL, IDC_LOCAL_PATH, IDC_CANCEL})
        if (!Control(id)) return false;
    SendMessageW(Control(IDC_PROGRESS), PBM_SETRANGE32, 0, kDesignMax);
    // A URL is longer than an edit control's default limit allows for.
    SendMessageW(Control(IDC_URL), EM_SETLIMITTEXT, 0, 0);
    SendMessageW(Control(IDC_LOCAL_PATH), EM_SETLIMITTEXT, 0, 0);
    return true;
}

std::wstring DownloadWindow::Text(int id) const { return plat::WindowText(Control(id)); }

void DownloadWindow::SetStatus(const std::wstring& text) { plat::SetWindowTextOf(Control(IDC_STATUS), text); }

LRESULT DownloadWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case kTransferStateMessage:
        OnTransferState(static_cast<short>(wParam));
        return 0;
    case kDownloadProgressMessage:
        ShowProgress();
        return 0;
    case kDownloadFinishedMessage:
        FinishDownload();
        return 0;
    case WM_DPICHANGED:
        layout_.OnDpiChanged(wParam, lParam);
        return 0;
    case WM_CLOSE:
        if (installing_) return 0;
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CANCEL && HIWORD(wParam) == BN_CLICKED) {
            OnCancelClick();
            return 0;
        }
        break;
    default:
        break;
    }
    return Default(msg, wParam, lParam);
}


void DownloadWindow::OnLoad() { StartDownload(Text(IDC_URL)); }

void DownloadWindow::StartDownload(const std::wstring& url) {
    // A copy in a folder the user may not write to (under Program Files)
    // could never be replaced: say so before fetching anything.
    if (const DWORD error = CheckFolderWritable(options_.programFolder)) {
        Fail(kTextFolderNotWritable);
        ModalScope modal(*this, ModalScope::Dialog);
        MessageBoxW(hwnd(), UnwritableFolderMessage(options_.programFolder, error).c_str(), kTitleFailure,
                    MB_OK | MB_ICONERROR);
        return;
    }
    const std::wstring folder = plat::JoinPath(options_.programFolder, L"download");
    if (!FolderExists(folder)) CreateDirectoryW(folder.c_str(), nullptr);
    localPath_ = plat::JoinPath(folder, FileNameOfUrl(url));
    plat::SetWindowTextOf(Control(IDC_LOCAL_PATH), localPath_);
    if (!transfer_.Start(url, hwnd(), kTransferStateMessage)) Fail(kTextCommunicationError);
}

void DownloadWindow::OnTransferState(int state) {
    // Once the outcome is on the status line, late notifications leave it there.
    if (outcome_ != Outcome::Running) return;
    if (state == kStateResponseCompleted) {
        if (!transfer_.Receive(localPath_, options_.publicKey, plat::JoinPath(options_.programFolder, kDialerExeName)))
            Fail(kTextCommunicationError);
        return;
    }
    // Numbers the transfer never sends change nothing.
    if (state < kStateResolving || state > kStateResponseCompleted) return;
    const wchar_t* text = StatusTextFor(static_cast<TransferState>(state));
    if (!text) return;
    if (state == kStateError && IsCertificateError(transfer_.RequestError())) text = kTextBadCertificate;
    SetStatus(text);
    if (state == kStateError) {
        outcome_ = Outcome::Failed;
        transfer_.Cancel();
    }
}

void DownloadWindow::OnCancelClick() {
    if (!installing_) DestroyWindow(hwnd());
}

void DownloadWindow::ShowProgress() {
    transfer_.ProgressSeen();
    if (outcome_ != Outcome::Running) return;
    HWND progress = Control(IDC_PROGRESS);
    const long long saved = transfer_.BytesSaved(), length = transfer_.ExpectedLength();
    if (length >= 0) {
        if (!rangeSet_) SendMessageW(progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(length));
        rangeSet_ = true;
        SendMessageW(progress, PBM_SETPOS, static_cast<WPARAM>(saved), 0);
    } else {
        // No length to measure against: the bar only shows that data flows.
        SendMessageW(progress, PBM_SETPOS, static_cast<WPARAM>((saved / kPieceSize) % (kDesignMax + 1)), 0);
    }
}

void DownloadWindow::Fail(const std::wstring& statusText) {
    outcome_ = Outcome::Failed;
    transfer_.Cancel();
    SetStatus(statusText);
}

void DownloadWindow::FinishDownload() {
    if (outcome_ != Outcome::Running) return;
    const DownloadJob::Outcome result = transfer_.Result();
    if (!result.complete) {
        Fail(result.failureText.empty() ? kTextCannotSave : result.failureText);
        return;
    }
    if (!transfer_.Commit()) {
        Fail(kTextCannotSave + plat::ErrorSuffix(GetLastError()));
        return;
    }
    const long long saved = transfer_.BytesSaved(), length = transfer_.ExpectedLength();
    transfer_.Cancel();
    outcome_ = Outcome::Complete;
    HWND progress = Control(IDC_PROGRESS);
    if (length >= 0 && !rangeSet_) SendMessageW(progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(length));
    SendMessageW(progress, PBM_SETPOS, length >= 0 ? static_cast<WPARAM>(saved) : kDesignMax, 0);
    SetStatus(kTextDownloadDone);
    if (!options_.showInstallWindow) return;
    // From here on the install step ends this window: closing it earlier
    // would leave the install running with no window to tell its outcome.
    installing_ = InstallWindow::Create(hwnd(), localPath_, result.sha256, options_.programFolder) != nullptr;
    if (installing_) {
        EnableWindow(Control(IDC_CANCEL), FALSE);
        EnableMenuItem(GetSystemMenu(hwnd(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    }
}

}  // namespace updater
