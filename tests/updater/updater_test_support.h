// Shared pieces of the updater's tests: throw-away program folders, dialer
// stand-ins, and answering message boxes.
#pragma once
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <tuple>
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

// The program the server serves as the new dialer.
inline std::wstring ServedProgram() { return testing_support::TestBinFolder() + L"\\updater\\standin\\vornadel.exe"; }

// The server's generated program of the given size (see http_server.py):
// the new dialer, or below its size only its headers with one empty
// section (SizeOfHeaders to match), then the repeating pattern.
inline std::string ExpectedBody(size_t size) {
    std::string body = ReadFileBytes(ServedProgram());
    if (size < body.size()) {
        const auto at = [&](size_t offset) { return static_cast<unsigned char>(body[offset]); };
        const size_t e = at(0x3C) | at(0x3D) << 8 | at(0x3E) << 16, table = e + 24 + (at(e + 20) | at(e + 21) << 8);
        body.resize(table + 40);
        body[e + 6] = 1, body[e + 7] = 0;
        for (size_t i = 0; i < 4; ++i) body[e + 24 + 60 + i] = static_cast<char>((table + 40) >> (8 * i));  // SizeOfHeaders
        std::fill(body.begin() + table + 16, body.begin() + table + 24, '\0');
    }
    body.resize(std::min(body.size(), size));
    for (size_t i = body.size(); i < size; ++i) body += static_cast<char>(((i % 1021) * 73 + 11) & 0xFF);
    return body;
}

// Names in a folder, sorted; none when it is missing.
inline std::vector<std::wstring> FilesIn(const fs::path& folder) {
    std::vector<std::wstring> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh folder standing for the updater's own folder, holding an old dialer.
struct TempProgramFolder {
    TempProgramFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
        fs::create_directories(path);
        std::ofstream(fs::path(File(L"vornadel.exe")), std::ios::binary) << kOldProgram;
    }
    ~TempProgramFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::wstring File(const std::wstring& name) const { return path + L"\\" + name; }
    const std::wstring path = testing_support::TempFolder() + L"\\vornadel-updater";
    static constexpr char kOldProgram[] = "MZ the old dialer";
};

// A running dialer stand-in from testbin\updater (exe relative to it), with
// its own log: "start", then the fields it saved if it closed normally.
class Standin {
public:
    Standin(const std::wstring& exe, bool ignoreClose) {
        log = testing_support::TempFolder() + L"\\vornadel-standin-" + std::to_wstring(++count_) + L".log";
        DeleteFileW(log.c_str());
        const std::wstring path = testing_support::TestBinFolder() + L"\\updater\\" + exe;
        process_ = testing_support::StartProgram(L"\"" + path + L"\" " + (ignoreClose ? L"--ignore-close " : L"") + log);
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
    std::wstring log;

private:
    static inline int count_ = 0;
    plat::UniqueHandle process_;
};

struct BoxRecord {
    std::wstring title, text;
    std::vector<int> buttons;  // IDOK, IDYES, IDNO present
    bool hasIcon = false;
    bool operator==(const BoxRecord& o) const {
        return std::tie(title, text, buttons, hasIcon) == std::tie(o.title, o.text, o.buttons, o.hasIcon);
    }
    friend void PrintTo(const BoxRecord& r, std::ostream* os) {
        *os << plat::ToAnsi(r.title + L" | " + r.text) << " | buttons " << r.buttons.size() << " | icon " << r.hasIcon;
    }
};

// Answers the message boxes of process pid in order, from a thread timer
// (it runs inside this thread's own boxes' loops too), recording each.
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
    std::vector<BoxRecord> boxes;

private:
    static BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
        auto* me = reinterpret_cast<MessageBoxAnswerer*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        wchar_t cls[16] = {};
        GetClassNameW(hwnd, cls, 16);
        if (pid != me->pid_ || hwnd == me->answered_ || wcscmp(cls, L"#32770") || !IsWindowVisible(hwnd)) return TRUE;
        me->answered_ = hwnd;
        BoxRecord r{plat::WindowText(hwnd), plat::WindowText(GetDlgItem(hwnd, 0xFFFF)), {}, false};
        for (int id : {IDOK, IDCANCEL, IDYES, IDNO})
            if (GetDlgItem(hwnd, id) && IsWindowVisible(GetDlgItem(hwnd, id))) r.buttons.push_back(id);
        for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            r.hasIcon |= (GetWindowLongPtrW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(c) &&
                         SendMessageW(c, STM_GETICON, 0, 0);
        me->boxes.push_back(r);
        // Unexpected boxes are closed all the same, so a test never hangs on one.
        size_t n = me->boxes.size();
        int id = n <= me->answers_.size() ? me->answers_[n - 1] : r.buttons.empty() ? IDCANCEL : r.buttons.back();
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
