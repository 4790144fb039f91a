// Shared pieces of the updater's tests: the loopback server, throw-away
// program folders, the dialer stand-ins, and answering message boxes.
#pragma once
#include <windows.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/text.h"
#include "tests/support/testing.h"

namespace updater_test {

using testing_support::PumpMessages;
using testing_support::PumpUntil;

inline std::wstring ServerUrl(const std::wstring& path) {
    return L"http://127.0.0.1:" + std::to_wstring(VORNADEL_TEST_HTTP_PORT) + path;
}

// The server's generated body of the given size (see http_server.py).
inline std::string ExpectedBody(size_t size) {
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>(((i % 1021) * 73 + 11) & 0xFF);
    return body.replace(0, std::min<size_t>(size, 2), "MZ", std::min<size_t>(size, 2));
}

inline std::string ReadFileBytes(const std::wstring& path) {
    plat::UniqueFile f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char buf[65536];
    DWORD got = 0;
    while (f && ReadFile(f.get(), buf, sizeof(buf), &got, nullptr) && got > 0) bytes.append(buf, got);
    return bytes;
}

inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    plat::UniqueFile f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return f && WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// Names in a folder (no "." or ".."), sorted.
inline std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (wcscmp(data.cFileName, L".") && wcscmp(data.cFileName, L"..")) names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

inline void RemoveTree(const std::wstring& path) {
    for (const std::wstring& name : FilesIn(path)) {
        const std::wstring child = path + L"\\" + name;
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(child.c_str())) RemoveTree(child);
    }
    RemoveDirectoryW(path.c_str());
}

// A fresh folder standing for the updater's own folder, holding an old dialer.
class TempProgramFolder {
public:
    TempProgramFolder() {
        static int counter = 0;
        path_ = testing_support::TempFolder() + L"\\vornadel-updater-" + std::to_wstring(GetCurrentProcessId()) +
                L"-" + std::to_wstring(++counter);
        RemoveTree(path_);
        CreateDirectoryW(path_.c_str(), nullptr);
        WriteFileBytes(File(L"vornadel.exe"), kOldProgram);
    }
    ~TempProgramFolder() { RemoveTree(path_); }
    const std::wstring& path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
    static constexpr char kOldProgram[] = "MZ the old dialer";

private:
    std::wstring path_;
};

inline bool LogHasLine(const std::wstring& log, const std::wstring& line) {
    std::istringstream in(ReadFileBytes(log));
    for (std::string l; std::getline(in, l);) {
        std::wstring w(l.size() + 1, L'\0');
        w.resize(static_cast<size_t>(
            MultiByteToWideChar(CP_UTF8, 0, l.data(), static_cast<int>(l.size()), w.data(), static_cast<int>(w.size()))));
        if (w == line) return true;
    }
    return false;
}

// A running dialer stand-in from testbin\updater (exe relative to it). Its
// log gets "start <pid>", and "saved <pid> <fields>" when it closes normally.
class Standin {
public:
    Standin(const std::wstring& exe, bool ignoreClose, const std::wstring& log) {
        const std::wstring path = testing_support::TestBinFolder() + L"\\updater\\" + exe;
        std::wstring cmdline = L"\"" + path + L"\"" + (ignoreClose ? L" --ignore-close" : L"");
        SetEnvironmentVariableW(L"VORNADEL_STANDIN_LOG", log.c_str());
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(path.c_str(), cmdline.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return;
        process_.reset(pi.hProcess);
        CloseHandle(pi.hThread);
        pid = pi.dwProcessId;
        if (!PumpUntil([&] { return LogHasLine(log, L"start " + std::to_wstring(pid)); }, 15000)) process_.reset();
    }
    ~Standin() {
        if (Running()) TerminateProcess(process_.get(), 99);
    }
    bool started() const { return static_cast<bool>(process_); }
    bool Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    // Its exit code, or STILL_ACTIVE if it did not end within timeoutMs.
    DWORD WaitForExit(DWORD timeoutMs) {
        PumpUntil([&] { return !Running(); }, timeoutMs);
        DWORD code = STILL_ACTIVE;
        if (process_) GetExitCodeProcess(process_.get(), &code);
        return code;
    }
    DWORD pid = 0;

private:
    plat::UniqueHandle process_;
};

struct BoxRecord {
    std::wstring title, text;
    std::vector<int> buttons;  // IDOK, IDYES, IDNO present
    bool hasIcon = false;
    std::wstring statusLine;   // a watched window's status line while the box was open
    DWORD shownAt = 0;
};

// Answers the message boxes of process pid in order, from a thread timer
// (it runs inside this thread's own boxes' loops too), recording each.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer(std::vector<int> answers, DWORD pid, HWND status = nullptr)
        : answers_(std::move(answers)), pid_(pid), status_(status) {
        self() = this;
        timer_ = SetTimer(nullptr, 0, 50, OnTimer);
    }
    ~MessageBoxAnswerer() {
        KillTimer(nullptr, timer_);
        self() = nullptr;
    }
    std::vector<BoxRecord> boxes;

private:
    static MessageBoxAnswerer*& self() {
        static MessageBoxAnswerer* instance = nullptr;
        return instance;
    }
    static BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
        auto* me = reinterpret_cast<MessageBoxAnswerer*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        wchar_t cls[16] = {};
        GetClassNameW(hwnd, cls, 16);
        if (pid != me->pid_ || hwnd == me->answered_ || wcscmp(cls, L"#32770") || !IsWindowVisible(hwnd)) return TRUE;
        me->answered_ = hwnd;
        BoxRecord r{plat::WindowText(hwnd), plat::WindowText(GetDlgItem(hwnd, 0xFFFF)), {}, false, {}, GetTickCount()};
        for (int id : {IDOK, IDCANCEL, IDYES, IDNO})
            if (GetDlgItem(hwnd, id) && IsWindowVisible(GetDlgItem(hwnd, id))) r.buttons.push_back(id);
        for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            r.hasIcon |= (GetWindowLongPtrW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(c) &&
                         SendMessageW(c, STM_GETICON, 0, 0);
        if (me->status_) r.statusLine = plat::WindowText(me->status_);
        me->boxes.push_back(r);
        // Unexpected boxes are closed all the same, so a test never hangs on one.
        int id = me->boxes.size() <= me->answers_.size() ? me->answers_[me->boxes.size() - 1]
                 : r.buttons.empty()                    ? IDCANCEL
                                                        : r.buttons.back();
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, id)));
        return FALSE;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        if (self()) EnumWindows(FindBox, reinterpret_cast<LPARAM>(self()));
    }
    std::vector<int> answers_;
    DWORD pid_;
    HWND status_;
    HWND answered_ = nullptr;
    UINT_PTR timer_ = 0;
};

}  // namespace updater_test
