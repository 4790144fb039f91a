#include "tests/support/testing.h"

#include <tlhelp32.h>

#include <fstream>
#include <sstream>

namespace testing_support {

void PumpMessages(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start >= timeoutMs) return pred();
        PumpMessages(10);
    }
    return true;
}

int RunningProcesses(const wchar_t* exeName) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof(e);
    int n = 0;
    for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e)) n += lstrcmpiW(e.szExeFile, exeName) == 0;
    CloseHandle(snap);
    return n;
}

std::wstring TestBinFolder() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring p(buf, n);
    return p.substr(0, p.find_last_of(L'\\'));
}

std::wstring TempFolder() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, buf);
    std::wstring p(buf, n);
    if (!p.empty() && p.back() == L'\\') p.pop_back();
    return p;
}

CommandRecord::CommandRecord() {
    static int counter = 0;
    path_ = TempFolder() + L"\\vornadel-record-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter) + L".log";
    DeleteFileW(path_.c_str());
    SetEnvironmentVariableW(L"VORNADEL_RECORD", path_.c_str());
}

CommandRecord::~CommandRecord() {
    SetEnvironmentVariableW(L"VORNADEL_RECORD", nullptr);
    DeleteFileW(path_.c_str());
}

std::vector<std::wstring> CommandRecord::Lines() const {
    std::vector<std::wstring> lines;
    for (const auto& e : Entries()) lines.push_back(e.commandLine);
    return lines;
}

std::vector<StartedCommand> CommandRecord::Entries() const {
    std::vector<StartedCommand> lines;
    HANDLE f = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return lines;
    std::string bytes;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof(buf), &got, nullptr) && got > 0) bytes.append(buf, got);
    CloseHandle(f);
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        std::wstring w(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), w.data(), n);
        StartedCommand c;
        size_t tab = w.find(L'\t');
        if (tab != std::wstring::npos) {
            c.show = _wtoi(w.substr(0, tab).c_str());
            c.commandLine = w.substr(tab + 1);
        } else {
            c.commandLine = w;
        }
        lines.push_back(c);
    }
    return lines;
}

std::vector<std::wstring> CommandRecord::WaitForLines(size_t n, DWORD timeoutMs) const {
    PumpUntil([&] { return Lines().size() >= n; }, timeoutMs);
    return Lines();
}

std::wstring SettingsFilePath() {
    wchar_t buf[MAX_PATH];
    UINT n = GetWindowsDirectoryW(buf, MAX_PATH);
    return std::wstring(buf, n) + L"\\list.ini";
}

void RemoveSettingsFile() {
    // Flush the profile cache so the next read does not see the old file.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, L"list.ini");
    DeleteFileW(SettingsFilePath().c_str());
}

std::string ReadSettingsFileBytes() {
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, L"list.ini");
    std::ifstream in(SettingsFilePath().c_str(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteSettingsFileBytes(const std::string& bytes) {
    RemoveSettingsFile();
    std::ofstream out(SettingsFilePath().c_str(), std::ios::binary);
    out << bytes;
}

static const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

RegValue ReadRunValue() {
    RegValue v;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return v;
    wchar_t buf[2048] = {};
    DWORD size = sizeof(buf) - sizeof(wchar_t);
    if (RegQueryValueExW(key, L"Quendrik", nullptr, &v.type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS) {
        v.found = true;
        v.data = buf;
    }
    RegCloseKey(key);
    return v;
}

void DeleteRunValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, L"Quendrik");
    RegCloseKey(key);
}

VersionInfo ReadVersionInfo(const std::wstring& exe) {
    VersionInfo v;
    DWORD size = GetFileVersionInfoSizeW(exe.c_str(), nullptr);
    if (!size) return v;
    v.data.resize(size);
    if (!GetFileVersionInfoW(exe.c_str(), 0, size, v.data.data())) return v;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(v.data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) || !fixed) return v;
    v.found = true;
    v.fileMS = fixed->dwFileVersionMS;
    v.fileLS = fixed->dwFileVersionLS;
    v.productMS = fixed->dwProductVersionMS;
    v.productLS = fixed->dwProductVersionLS;
    return v;
}

std::wstring VersionInfo::Text(const wchar_t* name) const {
    void* text = nullptr;
    UINT len = 0;
    std::wstring path = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
    if (data.empty() || !VerQueryValueW(data.data(), path.c_str(), &text, &len) || !text) return L"<missing>";
    return static_cast<const wchar_t*>(text);
}

}  // namespace testing_support
