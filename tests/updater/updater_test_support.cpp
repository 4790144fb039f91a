#include "tests/updater/updater_test_support.h"

#include <algorithm>
#include <sstream>

#include "tests/support/testing.h"
#include "updater/download_window.h"

namespace updater_test {

using testing_support::PumpUntil;

std::wstring ServerUrl(const std::wstring& path) {
    return L"http://127.0.0.1:" + std::to_wstring(VORNADEL_TEST_HTTP_PORT) + path;
}

std::wstring RefusedUrl() { return L"http://127.0.0.1:1/refused/vornadel.exe"; }

std::string ExpectedBody(size_t size) {
    constexpr size_t kPeriod = 1021;
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>(((i % kPeriod) * 73 + 11) & 0xFF);
    if (size > 0) body[0] = 'M';
    if (size > 1) body[1] = 'Z';
    return body;
}

std::string ReadFileBytes(const std::wstring& path) {
    plat::UniqueFile f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!f) return bytes;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(f.get(), buf, sizeof(buf), &got, nullptr) && got > 0) bytes.append(buf, got);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    plat::UniqueFile f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
    if (!f) return false;
    DWORD written = 0;
    return WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

void RemoveTree(const std::wstring& path) {
    for (const std::wstring& name : FilesIn(path)) {
        const std::wstring child = path + L"\\" + name;
        DWORD attributes = GetFileAttributesW(child.c_str());
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            RemoveTree(child);
        else
            DeleteFileW(child.c_str());
    }
    RemoveDirectoryW(path.c_str());
}

}  // namespace

TempProgramFolder::TempProgramFolder() {
    static int counter = 0;
    path_ = testing_support::TempFolder() + L"\\vornadel-updater-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempProgramFolder::~TempProgramFolder() { RemoveTree(path_); }

std::wstring StandinFolder() { return testing_support::TestBinFolder() + L"\\updater"; }

std::vector<std::wstring> ReadLogLines(const std::wstring& path) {
    std::vector<std::wstring> lines;
    std::istringstream in(ReadFileBytes(path));
    std::string line;
    while (std::getline(in, line)) {
        int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        std::wstring w(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), w.data(), n);
        lines.push_back(w);
    }
    return lines;
}

bool LogHasLine(const std::wstring& path, const std::wstring& line) {
    auto lines = ReadLogLines(path);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

Standin::Standin(Kind kind, bool ignoreClose, const std::wstring& logPath) {
    std::wstring exe = StandinFolder();
    switch (kind) {
    case Dialer: exe += L"\\standin\\vornadel.exe"; break;
    case DialerUpperCase: exe += L"\\upper\\VORNADEL.EXE"; break;
    case OtherName: exe += L"\\other\\xvornadel.exe"; break;
    }
    SetEnvironmentVariableW(L"VORNADEL_STANDIN_LOG", logPath.c_str());
    std::wstring cmdline = L"\"" + exe + L"\"" + (ignoreClose ? L" --ignore-close" : L"");
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), cmdline.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    process_.reset(pi.hProcess);
    plat::UniqueHandle thread(pi.hThread);
    pid_ = pi.dwProcessId;
    const std::wstring started = L"start " + std::to_wstring(pid_);
    if (!PumpUntil([&] { return LogHasLine(logPath, started); }, 15000)) process_.reset();
}

Standin::~Standin() {
    if (Running()) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 5000);
    }
}

bool Standin::Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

DWORD Standin::WaitForExit(DWORD timeoutMs) {
    if (!process_) return STILL_ACTIVE;
    PumpUntil([&] { return !Running(); }, timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

namespace {

MessageBoxAnswerer* g_answerer = nullptr;

struct BoxSearch {
    HWND skip;
    HWND found;
};

BOOL CALLBACK FindIcon(HWND child, LPARAM param) {
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 32);
    LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    if (lstrcmpiW(cls, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child) &&
        SendMessageW(child, STM_GETICON, 0, 0)) {
        *reinterpret_cast<bool*>(param) = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

BoxRecord ReadBox(HWND box) {
    BoxRecord r;
    wchar_t buf[1024] = {};
    GetWindowTextW(box, buf, 1024);
    r.title = buf;
    buf[0] = L'\0';
    GetWindowTextW(GetDlgItem(box, 0xFFFF), buf, 1024);
    r.text = buf;
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        HWND button = GetDlgItem(box, id);
        if (button && IsWindowVisible(button)) r.buttons.push_back(id);
    }
    EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&r.hasIcon));
    return r;
}

void PressBoxButton(HWND box, int id) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

MessageBoxAnswerer::MessageBoxAnswerer(std::vector<int> answers, HWND downloadWindow)
    : answers_(std::move(answers)), downloadWindow_(downloadWindow) {
    g_answerer = this;
    timer_ = SetTimer(nullptr, 0, 50, OnTimer);
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    if (timer_) KillTimer(nullptr, timer_);
    g_answerer = nullptr;
}

void CALLBACK MessageBoxAnswerer::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_answerer) g_answerer->Poll();
}

BOOL CALLBACK MessageBoxAnswerer::FindBox(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (hwnd != search->skip && lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

void MessageBoxAnswerer::Poll() {
    BoxSearch search{answered_, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return;
    BoxRecord record = ReadBox(search.found);
    record.shownAt = GetTickCount();
    if (downloadWindow_ && IsWindow(downloadWindow_)) {
        wchar_t buf[256] = {};
        GetWindowTextW(GetDlgItem(downloadWindow_, updater::IDC_LABEL3), buf, 256);
        record.statusLine = buf;
    }
    boxes_.push_back(record);
    answered_ = search.found;
    if (next_ < answers_.size()) {
        PressBoxButton(search.found, answers_[next_++]);
        return;
    }
    // An unexpected box must not leave the test waiting: close it.
    for (int id : {IDNO, IDCANCEL, IDOK})
        if (GetDlgItem(search.found, id)) {
            PressBoxButton(search.found, id);
            return;
        }
}

}  // namespace updater_test
