// Shared pieces of the updater's tests: a throw-away program folder, dialer
// stand-ins, and an answerer of message boxes.
#pragma once
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/text.h"
#include "tests/support/testing.h"

namespace updater_test {

namespace fs = std::filesystem;
using testing_support::PumpUntil;
using testing_support::ReadFileBytes;

inline std::wstring ServerUrl(const std::wstring& path) {
    return L"http://127.0.0.1:" + std::to_wstring(VORNADEL_TEST_HTTP_PORT) + path;
}

// What the server serves as the new dialer.
inline std::wstring ServedProgram() { return testing_support::TestBinFolder() + L"\\updater\\standin\\vornadel.exe"; }

inline std::vector<std::wstring> FilesIn(const fs::path& folder) {
    std::vector<std::wstring> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

// The updater's own folder, holding an old dialer.
struct TempProgramFolder {
    TempProgramFolder() {
        fs::remove_all(path, ec);
        fs::create_directories(path);
        std::ofstream(fs::path(File(L"vornadel.exe")), std::ios::binary) << kOldProgram;
    }
    ~TempProgramFolder() { fs::remove_all(path, ec); }
    std::wstring File(const std::wstring& name) const { return path + L"\\" + name; }
    const std::wstring path = testing_support::TempFolder() + L"\\vornadel-updater";
    std::error_code ec;
    static constexpr char kOldProgram[] = "MZ the old dialer";
};

// A running stand-in (fixtures/dialer_standin.cpp), testbin\updater\<exe>, with its own log.
class Standin {
public:
    std::wstring log = testing_support::TempFolder() + L"\\vornadel-standin-" + std::to_wstring(++count_) + L".log";
    Standin(const std::wstring& exe, bool ignoreClose) {
        DeleteFileW(log.c_str());
        const std::wstring path = L"\"" + testing_support::TestBinFolder() + L"\\updater\\" + exe + L"\" ";
        process_ = testing_support::StartProgram(path + (ignoreClose ? L"--ignore-close " : L"") + log);
        if (process_ && !PumpUntil([&] { return ReadFileBytes(log).rfind("start\n", 0) == 0; }, 15000))
            process_.reset();
    }
    ~Standin() {
        if (process_) TerminateProcess(process_.get(), 99);
    }
    bool Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    // Its exit code, or STILL_ACTIVE if it did not end within timeoutMs.
    DWORD WaitForExit(DWORD timeoutMs) {
        PumpUntil([&] { return !Running(); }, timeoutMs);
        DWORD code = STILL_ACTIVE;
        return process_ && GetExitCodeProcess(process_.get(), &code) ? code : STILL_ACTIVE;
    }

private:
    static inline int count_ = 0;
    plat::UniqueHandle process_;
};

// Answers the message boxes of process pid in order, from a thread timer (it
// runs inside this thread's own boxes' loops too), recording each as
// "title | text | buttons[ | icon]".
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer(std::vector<int> answers, DWORD pid) : answers_(std::move(answers)), pid_(pid) {
        self_ = this;
        timer_ = SetTimer(nullptr, 0, 50, OnTimer);
    }
    ~MessageBoxAnswerer() {
        KillTimer(nullptr, timer_);
        self_ = nullptr;
    }
    std::vector<std::wstring> boxes;

private:
    static BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
        auto* me = reinterpret_cast<MessageBoxAnswerer*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        wchar_t cls[16] = {};
        GetClassNameW(hwnd, cls, 16);
        if (pid != me->pid_ || hwnd == me->answered_ || wcscmp(cls, L"#32770") || !IsWindowVisible(hwnd)) return TRUE;
        me->answered_ = hwnd;
        std::wstring record = plat::WindowText(hwnd) + L" | " + plat::WindowText(GetDlgItem(hwnd, 0xFFFF)) + L" |";
        // Unexpected boxes are closed all the same (last button), so a test never hangs on one.
        int last = IDCANCEL;
        static const std::pair<int, const wchar_t*> kButtons[] = {{IDOK, L"OK"}, {IDCANCEL, L"Cancel"}, {IDYES, L"Yes"},
                                                                   {IDNO, L"No"}};
        for (const auto& [id, name] : kButtons)
            if (GetDlgItem(hwnd, id) && IsWindowVisible(GetDlgItem(hwnd, id))) {
                record += std::wstring(L" ") + name;
                last = id;
            }
        for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if ((GetWindowLongPtrW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(c) &&
                SendMessageW(c, STM_GETICON, 0, 0))
                record += L" | icon";
        me->boxes.push_back(record);
        const size_t n = me->boxes.size();
        const int id = n <= me->answers_.size() ? me->answers_[n - 1] : last;
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, id)));
        return FALSE;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        if (self_) EnumWindows(FindBox, reinterpret_cast<LPARAM>(self_));
    }
    std::vector<int> answers_;
    DWORD pid_;
    HWND answered_ = nullptr;
    UINT_PTR timer_ = 0;
    static inline MessageBoxAnswerer* self_ = nullptr;
};

}  // namespace updater_test
