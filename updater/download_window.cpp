#include "updater/download_window.h"
#include "updater/resource.h"

#include <commctrl.h>

#include "platform/controls.h"
#include "platform/handles.h"
#include "platform/module_path.h"
#include "platform/text.h"
#include "platform/units.h"
#include "updater/install_window.h"

namespace updater {

const wchar_t kUpdaterCaption[] = L"Vornadel升级程序";
const wchar_t kTextDownloadDone[] = L"文件已经下载完成！";
const wchar_t kTextCommunicationError[] = L"与主机通讯时出现了错误";
const wchar_t kTextCannotSave[] = L"无法保存下载的文件";
const wchar_t kTextBadCertificate[] = L"服务器的安全证书无效，已停止下载。";

namespace {

constexpr int kClientWidth = 5565, kClientHeight = 720;
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kDesignMax = 100;
constexpr long long kPieceSize = 1024;

const wchar_t* StatusTextFor(int state) {
    switch (state) {
    case 1: return L"正在连接服务器";
    case 2: return L"成功连接到服务器";
    case 3: return L"正在与服务器连接";
    case 4: return L"已与服务器连接成功";
    case 5: return L"正在向服务器发送请求";
    case 6: return L"发送请求已成功";
    case 7:
    case 8: return L"正在下载所需文件，请耐心等待 ......";
    case 9: return L"正在解除与服务器的连接";
    case 10: return L"文件下载完成...";
    case 11: return kTextCommunicationError;
    default: return nullptr;
    }
}

bool FolderExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring Form1::FileNameOfUrl(const std::wstring& url) {
    size_t slash = url.find_last_of(L'/');
    return slash == std::wstring::npos ? url : url.substr(slash + 1);
}

Form1* Form1::Create(const DownloadOptions& options) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);

    auto* form = new Form1(options);
    const int w = plat::TwipsToPixelsX(kClientWidth), h = plat::TwipsToPixelsY(kClientHeight);
    RECT outer = plat::OuterRectForClient(0, 0, w, h, kFormStyle, 0);
    const int outerW = outer.right - outer.left, outerH = outer.bottom - outer.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - outerW) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - outerH) / 2;
    if (!form->CreateForm(kUpdaterCaption, kFormStyle, 0, x, y, outerW, outerH)) {
        delete form;
        return nullptr;
    }
    HWND hwnd = form->hwnd();
    if (!form->CreateControls()) {
        DestroyWindow(hwnd);  // deletes the object
        return nullptr;
    }
    plat::SetWindowIcons(hwnd, IDI_UPDATER);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    form->Form_Load();
    return form;
}

bool Form1::CreateControls() {
    using plat::CreateControl;
    HWND me = hwnd();
    const DWORD shown = WS_VISIBLE;
    CreateControl(me, PROGRESS_CLASSW, L"", shown, 0, {240, 120, 4575, 255}, IDC_PROGRESSBAR1);
    CreateControl(me, L"Static", L"", shown | SS_NOPREFIX, 0, {240, 480, 4575, 255}, IDC_LABEL3);
    CreateControl(me, L"Edit", options_.url.c_str(), ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {120, 360, 5295, 270},
                  IDC_TEXT1);
    CreateControl(me, L"Static", L"下载地址:", shown, 0, {2040, 2640, 855, 255}, IDC_LABEL1);
    CreateControl(me, L"Static", L"保存路径:", shown, 0, {2040, 3000, 855, 255}, IDC_LABEL2);
    CreateControl(me, L"Edit", L".\\", shown | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                  {3120, 3000, 3495, 270}, IDC_TEXT2);
    CreateControl(me, L"Button", L"取消下载", shown | WS_TABSTOP | BS_PUSHBUTTON, 0, {4800, 3480, 975, 495},
                  IDC_COMMAND2);
    for (int id : {IDC_PROGRESSBAR1, IDC_LABEL1, IDC_LABEL2, IDC_LABEL3, IDC_TEXT1, IDC_TEXT2, IDC_COMMAND2})
        if (!Control(id)) return false;
    SendMessageW(Control(IDC_PROGRESSBAR1), PBM_SETRANGE32, 0, kDesignMax);
    // A URL is longer than an edit control's default limit allows for.
    SendMessageW(Control(IDC_TEXT1), EM_SETLIMITTEXT, 0, 0);
    SendMessageW(Control(IDC_TEXT2), EM_SETLIMITTEXT, 0, 0);
    return true;
}

std::wstring Form1::Text(int id) const { return plat::WindowText(Control(id)); }

void Form1::SetStatus(const std::wstring& text) { plat::SetWindowTextOf(Control(IDC_LABEL3), text); }

LRESULT Form1::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INET1_STATECHANGED:
        Inet1_StateChanged(static_cast<short>(wParam));
        return 0;
    case WM_DOWNLOAD_PROGRESS:
        ShowProgress();
        return 0;
    case WM_DOWNLOAD_FINISHED:
        FinishDownload();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_COMMAND2 && HIWORD(wParam) == BN_CLICKED) {
            Command2_Click();
            return 0;
        }
        break;
    default:
        break;
    }
    return Default(msg, wParam, lParam);
}

// The transfer goes with the object: its worker lets go of the partial file
// before the window is gone, so the program never ends with one left behind.
void Form1::OnFinalMessage() { delete this; }

void Form1::Form_Load() { StartDownload(Text(IDC_TEXT1)); }

void Form1::StartDownload(const std::wstring& url) {
    const std::wstring folder = plat::JoinPath(options_.programFolder, L"download");
    if (!FolderExists(folder)) CreateDirectoryW(folder.c_str(), nullptr);
    plat::SetWindowTextOf(Control(IDC_TEXT2), plat::JoinPath(folder, FileNameOfUrl(url)));
    if (!Inet1_.Start(url, hwnd(), WM_INET1_STATECHANGED)) Fail(kTextCommunicationError);
}

void Form1::Inet1_StateChanged(int State) {
    // Once the outcome is on the status line, late notifications leave it there.
    if (outcome_ != Outcome::Running) return;
    if (State == kStateResponseCompleted) {
        if (!Inet1_.Receive(Text(IDC_TEXT2), options_.publicKey)) Fail(kTextCommunicationError);
        return;
    }
    const wchar_t* text = StatusTextFor(State);
    if (!text) return;
    if (State == kStateError && IsCertificateError(Inet1_.RequestError())) text = kTextBadCertificate;
    SetStatus(text);
    if (State == kStateError) {
        outcome_ = Outcome::Failed;
        Inet1_.Cancel();
    }
}

void Form1::Command2_Click() { DestroyWindow(hwnd()); }

void Form1::ShowProgress() {
    Inet1_.ProgressSeen();
    if (outcome_ != Outcome::Running) return;
    HWND progress = Control(IDC_PROGRESSBAR1);
    const long long saved = Inet1_.BytesSaved(), length = Inet1_.ExpectedLength();
    if (length >= 0) {
        if (!rangeSet_) SendMessageW(progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(length));
        rangeSet_ = true;
        SendMessageW(progress, PBM_SETPOS, static_cast<WPARAM>(saved), 0);
    } else {
        // No length to measure against: the bar only shows that data flows.
        SendMessageW(progress, PBM_SETPOS, static_cast<WPARAM>((saved / kPieceSize) % (kDesignMax + 1)), 0);
    }
}

void Form1::Fail(const std::wstring& statusText) {
    outcome_ = Outcome::Failed;
    Inet1_.Cancel();
    SetStatus(statusText);
}

void Form1::FinishDownload() {
    if (outcome_ != Outcome::Running) return;
    const DownloadJob::Outcome result = Inet1_.Result();
    if (!result.complete || !Inet1_.Commit()) {
        Fail(result.failureText.empty() ? kTextCannotSave : result.failureText);
        return;
    }
    const long long saved = Inet1_.BytesSaved(), length = Inet1_.ExpectedLength();
    Inet1_.Cancel();
    outcome_ = Outcome::Complete;
    HWND progress = Control(IDC_PROGRESSBAR1);
    if (length >= 0 && !rangeSet_) SendMessageW(progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(length));
    SendMessageW(progress, PBM_SETPOS, length >= 0 ? static_cast<WPARAM>(saved) : kDesignMax, 0);
    SetStatus(kTextDownloadDone);
    if (options_.showInstallWindow) Form2::Create(hwnd(), Text(IDC_TEXT2), options_.programFolder);
}

}  // namespace updater
