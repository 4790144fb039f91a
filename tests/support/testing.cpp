#include "tests/support/testing.h"

#include <tlhelp32.h>

#include <fstream>
#include <iterator>

#include "platform/module_path.h"

namespace testing_support {

void PumpMessages(DWORD ms) {
    const DWORD start = GetTickCount();
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
    for (const DWORD start = GetTickCount(); !pred(); PumpMessages(10))
        if (GetTickCount() - start >= timeoutMs) return pred();
    return true;
}

plat::UniqueHandle StartProgram(std::wstring commandLine, const wchar_t* dir) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, dir, &si, &pi)) return {};
    CloseHandle(pi.hThread);
    return plat::UniqueHandle(pi.hProcess);
}

HWND FindWindowOf(DWORD pid, const wchar_t* cls, const wchar_t* caption) {
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, cls, caption)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid) return w;
    }
    return nullptr;
}

int RunningProcesses(const wchar_t* exeName) {
    plat::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        count += lstrcmpiW(entry.szExeFile, exeName) == 0;
    return count;
}

std::wstring TestBinFolder() { return plat::ProgramFolder(); }

std::wstring TempFolder() {
    wchar_t buf[MAX_PATH];
    return std::wstring(buf, GetTempPathW(MAX_PATH, buf) - 1);  // without its closing backslash
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
    const std::string bytes = ReadFileBytes(path_);
    std::wstring text(bytes.size(), L'\0');
    const int n = static_cast<int>(bytes.size());
    text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), n, text.data(), n)));
    std::vector<StartedCommand> entries;
    for (size_t at = 0, end; (end = text.find(L'\n', at)) != std::wstring::npos; at = end + 1) {
        const size_t tab = text.find(L'\t', at);
        entries.push_back({_wtoi(text.c_str() + at), text.substr(tab + 1, end - tab - 1)});
    }
    return entries;
}

std::vector<std::wstring> CommandRecord::WaitForLines(size_t n, DWORD timeoutMs) const {
    PumpUntil([&] { return Lines().size() >= n; }, timeoutMs);
    return Lines();
}

static std::wstring SettingsFilePath() {
    wchar_t buf[MAX_PATH];
    return std::wstring(buf, GetWindowsDirectoryW(buf, MAX_PATH)) + L"\\list.ini";
}

// Flushing the profile cache first keeps the next read from seeing the old file.
void RemoveSettingsFile() {
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, L"list.ini");
    DeleteFileW(SettingsFilePath().c_str());
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string ReadSettingsFileBytes() {
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, L"list.ini");
    return ReadFileBytes(SettingsFilePath());
}

void WriteSettingsFileBytes(const std::string& bytes) {
    RemoveSettingsFile();
    std::ofstream(SettingsFilePath().c_str(), std::ios::binary) << bytes;
}

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

RegValue ReadRunValue() {
    RegValue v;
    wchar_t buf[2048] = {};
    DWORD size = sizeof(buf) - sizeof(wchar_t);
    v.found = !RegGetValueW(HKEY_CURRENT_USER, kRunKey, L"Quendrik", RRF_RT_ANY | RRF_NOEXPAND, &v.type, buf, &size);
    v.data = buf;
    return v;
}

void DeleteRunValue() { RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Quendrik"); }

}  // namespace testing_support
