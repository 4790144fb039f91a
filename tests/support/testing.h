#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/handles.h"

namespace testing_support {

void PumpMessages(DWORD ms);
// Returns pred() once it holds or timeoutMs passed.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 5000);

struct StartedCommand {
    int show = -1;  // the ShowWindow style asked for, -1 none
    std::wstring commandLine;
};

// Where the fixture programs record how they were started; one per test, a fresh file.
class CommandRecord {
public:
    CommandRecord();
    ~CommandRecord();
    std::vector<std::wstring> Lines() const;
    std::vector<StartedCommand> Entries() const;
    std::vector<std::wstring> WaitForLines(size_t n, DWORD timeoutMs = 8000) const;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// Null when it could not start; dir nullptr: this one's.
plat::UniqueHandle StartProgram(std::wstring commandLine, const wchar_t* dir = nullptr);
HWND FindWindowOf(DWORD pid, const wchar_t* cls, const wchar_t* caption);
int RunningProcesses(const wchar_t* exeName);
std::string ReadFileBytes(const std::wstring& path);
std::wstring TestBinFolder();
std::wstring TempFolder();

// The dialer's list.ini as the profile functions see it (system code page).
void RemoveSettingsFile();
std::string ReadSettingsFileBytes();
void WriteSettingsFileBytes(const std::string& bytes);

struct RegValue {
    bool found = false;
    DWORD type = 0;
    std::wstring data;
};
RegValue ReadRunValue();
void DeleteRunValue();

}  // namespace testing_support
