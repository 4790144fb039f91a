// The updater tests' program folder, dialer stand-ins and message-box answerer.
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

// A fixture program below testbin\updater.
inline std::wstring TestProgram(const std::wstring& path) {
    return testing_support::TestBinFolder() + L"\\updater\\" + path;
}
// What /soft/updates/Vornadel/ serves, also the stand-in for a running dialer.
inline std::wstring ServedProgram() { return TestProgram(L"standin\\vornadel.exe"); }

inline std::vector<std::wstring> FilesIn(const fs::path& folder) {
    std::vector<std::wstring> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

// The updater's own folder, holding an old dialer.
struct TempProgramFolder {
    explicit TempProgramFolder(const std::wstring& name = L"vornadel-updater")
        : path(testing_support::TempFolder() + L"\\" + name) {
        fs::remove_all(path, ec);
        fs::create_directories(path);
        std::ofstream(fs::path(File(L"vornadel.exe")), std::ios::binary) << kOldProgram;
    }
    ~TempProgramFolder() { fs::remove_all(path, ec); }
    std::wstring File(const std::wstring& name) const { return path + L"\\" + name; }
    const std::wstring path;
    std::error_code ec;
    static constexpr char kOldProgram[] = "MZ the old dialer";
};

// A running fixtures/dialer_standin.cpp from the full path exe.
class Standin {
public:
    Standin(const std::wstring& exe, bool ignoreClose) {
        const std::wstring dir = testing_support::TempFolder();
        process_ = testing_support::StartProgram(L"\"" + exe + (ignoreClose ? L"\" --ignore-close" : L"\""), dir.c_str());
        const DWORD pid = process_ ? GetProcessId(process_.get()) : 0;
        if (pid && !PumpUntil([&] { return testing_support::FindWindowOf(pid, L"Form", nullptr); }, 15000))
            process_.reset();
    }
    ~Standin() {
        if (process_) TerminateProcess(process_.get(), 99);
    }
    bool Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    DWORD WaitForExit(DWORD timeoutMs) {
        PumpUntil([&] { return !Running(); }, timeoutMs);
        DWORD code = STILL_ACTIVE;
        return process_ && GetExitCodeProcess(process_.get(), &code) ? code : STILL_ACTIVE;
    }

private:
    plat::UniqueHandle process_;
};

// Answers the message boxes of process pid in order from a thread timer (which
// also runs in this thread's own boxes' loops), recording "title | text".
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
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        const HWND box = self_ ? testing_support::FindWindowOf(self_->pid_, L"#32770", nullptr) : nullptr;
        if (!box || box == self_->answered_ || !IsWindowVisible(box)) return;
        self_->answered_ = box;
        self_->boxes.push_back(plat::WindowText(box) + L" | " + plat::WindowText(GetDlgItem(box, 0xFFFF)));
        const size_t n = self_->boxes.size();
        // An unexpected box is cancelled, so that no test hangs on it.
        const int id = n <= self_->answers_.size() ? self_->answers_[n - 1] : IDCANCEL;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    }
    std::vector<int> answers_;
    DWORD pid_;
    HWND answered_ = nullptr;
    UINT_PTR timer_ = 0;
    static inline MessageBoxAnswerer* self_ = nullptr;
};

}  // namespace updater_test
