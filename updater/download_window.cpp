#include "updater/download_window.h"
#include "updater/resource.h"

#include <commctrl.h>

#include <climits>
#include <vector>

#include "platform/controls.h"
#include "platform/dpi.h"
#include "platform/handles.h"
#include "platform/module_path.h"
#include "platform/text.h"
#include "platform/units.h"
#include "updater/install_window.h"

namespace updater {

const wchar_t kUpdaterCaption[] = L"Vornadel升级程序";
const wchar_t kTextDownloadDone[] = L"文件已经下载完成！";
const wchar_t kTextCommunicationError[] = L"与主机通讯时出现了错误";

namespace {

const wchar_t kTextHttpStatusPrefix[] = L"服务器没有提供升级文件（HTTP ";
const wchar_t kTextIncomplete[] = L"文件没有下载完整，请稍后再试";
const wchar_t kTextNotProgram[] = L"下载的文件不是有效的程序文件";
const wchar_t kTextCannotSave[] = L"无法保存下载的文件";
const wchar_t kTextBadLength[] = L"服务器报告的文件大小无效";

constexpr size_t kPieceSize = 1024;
constexpr int kClientWidth = 5565, kClientHeight = 720;
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kDesignMax = 100;
// Looking at the message queue costs tens of microseconds and moving the bar
// far more (it repaints at once), against a few for taking a 1 KB piece; the
// loop gives the user interface its turn at display rate, not per piece.
constexpr DWORD kUiTurnMs = 15;

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

// Content-Length as the progress bar's range can hold it; -1 when the text
// is not a plain decimal number in that range.
long long ParseLength(const std::wstring& text) {
    size_t begin = text.find_first_not_of(L" \t");
    size_t end = text.find_last_not_of(L" \t");
    if (begin == std::wstring::npos) return -1;
    long long value = 0;
    for (size_t i = begin; i <= end; ++i) {
        wchar_t c = text[i];
        if (c < L'0' || c > L'9') return -1;
        value = value * 10 + (c - L'0');
        if (value > INT_MAX) return -1;
    }
    return value;
}

bool FolderExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file being received: it lives under a temporary name and only takes
// its real name once it is complete, so a broken transfer never leaves a
// partial program where the install step looks for one. Pieces are appended
// through a fixed buffer: one write per 64 KB instead of one per piece.
class PartialFile {
public:
    explicit PartialFile(std::wstring finalPath) : finalPath_(std::move(finalPath)), tempPath_(finalPath_ + L".part") {
        pending_.reserve(kWriteBlock);
    }
    ~PartialFile() { Discard(); }

    bool Create() {
        SetFileAttributesW(tempPath_.c_str(), FILE_ATTRIBUTE_NORMAL);
        file_.reset(CreateFileW(tempPath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        return static_cast<bool>(file_);
    }
    bool Append(const std::vector<unsigned char>& bytes) {
        if (!file_) return false;
        if (pending_.size() + bytes.size() > kWriteBlock && !Flush()) return false;
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        size_ += static_cast<long long>(bytes.size());
        return true;
    }
    // Bytes appended so far: the position of the last byte written.
    long long size() const { return size_; }
    // Closes the file and gives it its real name, replacing an older download.
    bool Commit() {
        if (!file_ || !Flush()) return false;
        file_.reset();
        SetFileAttributesW(finalPath_.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!MoveFileExW(tempPath_.c_str(), finalPath_.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
        committed_ = true;
        return true;
    }
    void Discard() {
        if (committed_) return;
        file_.reset();
        DeleteFileW(tempPath_.c_str());
    }

private:
    static constexpr size_t kWriteBlock = 64 * 1024;

    bool Flush() {
        if (pending_.empty()) return true;
        DWORD written = 0;
        bool ok = WriteFile(file_.get(), pending_.data(), static_cast<DWORD>(pending_.size()), &written, nullptr) &&
                  written == pending_.size();
        pending_.clear();
        return ok;
    }

    std::wstring finalPath_;
    std::wstring tempPath_;
    plat::UniqueFile file_;
    std::vector<unsigned char> pending_;
    long long size_ = 0;
    bool committed_ = false;
};

bool LooksLikeProgram(const std::vector<unsigned char>& firstPiece) {
    return firstPiece.size() >= 2 && firstPiece[0] == 'M' && firstPiece[1] == 'Z';
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
    // Centred on the screen, laid out at the DPI of the monitor there.
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    const int dpi = plat::DpiAtPoint({screenW / 2, screenH / 2});
    const int w = plat::TwipsToPixelsAt(kClientWidth, dpi), h = plat::TwipsToPixelsAt(kClientHeight, dpi);
    RECT outer = plat::OuterRectForClientAt(0, 0, w, h, kFormStyle, 0, dpi);
    const int outerW = outer.right - outer.left, outerH = outer.bottom - outer.top;
    const int x = (screenW - outerW) / 2, y = (screenH - outerH) / 2;
    if (!form->CreateForm(kUpdaterCaption, kFormStyle, 0, x, y, outerW, outerH)) {
        delete form;
        return nullptr;
    }
    HWND hwnd = form->hwnd();
    form->layout_.Attach(hwnd, dpi);
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
        if (closedWhileReceiving_ && !receiving_) delete this;
        return 0;
    case WM_DPICHANGED:
        layout_.OnDpiChanged(wParam, lParam);
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

void Form1::OnFinalMessage() {
    // The receive loop is still on the stack; it ends itself and frees us.
    if (receiving_) {
        closedWhileReceiving_ = true;
        return;
    }
    delete this;
}

void Form1::Form_Load() { StartDownload(Text(IDC_TEXT1)); }

void Form1::StartDownload(const std::wstring& url) {
    const std::wstring folder = plat::JoinPath(options_.programFolder, L"download");
    if (!FolderExists(folder)) CreateDirectoryW(folder.c_str(), nullptr);
    plat::SetWindowTextOf(Control(IDC_TEXT2), plat::JoinPath(folder, FileNameOfUrl(url)));
    if (!Inet1_.Execute(url, hwnd(), WM_INET1_STATECHANGED)) Fail(kTextCommunicationError);
}

void Form1::Inet1_StateChanged(int State) {
    // Once the outcome is on the status line, late notifications leave it there.
    if (outcome_ != Outcome::Running) return;
    if (State == kStateResponseCompleted) {
        ReceiveAndSave();
        return;
    }
    const wchar_t* text = StatusTextFor(State);
    if (!text) return;
    SetStatus(text);
    if (State == kStateError) {
        outcome_ = Outcome::Failed;
        Inet1_.Close();
    }
}

void Form1::Command2_Click() { DestroyWindow(hwnd()); }

bool Form1::UiTurnDue() const { return GetTickCount() - lastUiTurn_ >= kUiTurnMs; }

bool Form1::DoEvents() {
    lastUiTurn_ = GetTickCount();
    MSG msg;
    while (!closedWhileReceiving_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return !closedWhileReceiving_;
}

void Form1::Fail(const std::wstring& statusText) {
    outcome_ = Outcome::Failed;
    Inet1_.Close();
    SetStatus(statusText);
}

void Form1::ReceiveAndSave() {
    if (receiving_) return;
    receiving_ = true;
    struct ReceivingScope {
        bool& flag;
        ~ReceivingScope() { flag = false; }
    } scope{receiving_};

    HWND progress = Control(IDC_PROGRESSBAR1);
    const DWORD status = Inet1_.StatusCode();
    bool done = false;
    std::vector<unsigned char> buffer;
    buffer.reserve(kPieceSize);
    auto result = Inet1_.GetChunk(kPieceSize, buffer);
    if (!DoEvents()) return;

    if (status != HTTP_STATUS_OK) {
        Fail(kTextHttpStatusPrefix + std::to_wstring(status) + L"）");
        return;
    }
    if (result == HttpTransfer::ChunkResult::Failed) {
        Fail(kTextCommunicationError);
        return;
    }
    const std::wstring lengthText = Inet1_.GetHeader(L"Content-Length");
    const bool lengthKnown = !lengthText.empty();
    const long long length = lengthKnown ? ParseLength(lengthText) : -1;
    if (lengthKnown && length < 0) {
        Fail(kTextBadLength);
        return;
    }
    if (!LooksLikeProgram(buffer)) {
        Fail(buffer.empty() && lengthKnown && length > 0 ? kTextIncomplete : kTextNotProgram);
        return;
    }

    PartialFile file(Text(IDC_TEXT2));
    if (!file.Create()) {
        Fail(kTextCannotSave);
        return;
    }
    if (lengthKnown) SendMessageW(progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(length));
    // Only a message handler could change the bar's range, so it is read
    // back after each turn of the message loop.
    LRESULT max = SendMessageW(progress, PBM_GETRANGE, FALSE, 0);

    while (!done) {
        if (!file.Append(buffer)) {
            Fail(kTextCannotSave);
            return;
        }
        result = Inet1_.GetChunk(kPieceSize, buffer);
        const bool uiTurn = UiTurnDue() || buffer.empty();
        if (uiTurn && !DoEvents()) return;
        if (result == HttpTransfer::ChunkResult::Failed) {
            Fail(kTextCommunicationError);
            return;
        }
        if (lengthKnown) {
            if (uiTurn) {
                SendMessageW(progress, PBM_SETPOS, static_cast<WPARAM>(file.size()), 0);
                max = SendMessageW(progress, PBM_GETRANGE, FALSE, 0);
            }
            if (max <= file.size()) {
                done = true;
            } else if (buffer.empty()) {
                // The body ended before the announced length.
                Fail(kTextIncomplete);
                return;
            }
        } else {
            // No length to measure against: the bar only shows that data flows.
            if (uiTurn)
                SendMessageW(progress, PBM_SETPOS,
                             static_cast<WPARAM>((file.size() / kPieceSize) % (kDesignMax + 1)), 0);
            if (buffer.empty()) done = true;
        }
    }
    if (lengthKnown && file.size() != length) {
        Fail(kTextIncomplete);
        return;
    }
    if (!file.Commit()) {
        Fail(kTextCannotSave);
        return;
    }
    Inet1_.Close();
    outcome_ = Outcome::Complete;
    SendMessageW(progress, PBM_SETPOS, lengthKnown ? static_cast<WPARAM>(file.size()) : kDesignMax, 0);
    SetStatus(kTextDownloadDone);
    if (options_.showInstallWindow) Form2::Create(hwnd(), Text(IDC_TEXT2), options_.programFolder);
}

}  // namespace updater
