// Helpers for tests that drive the programs' real windows under Wine.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/handles.h"

namespace testing_support {

// Handles pending messages of this thread for about ms milliseconds.
void PumpMessages(DWORD ms);
// Pumps until pred() holds or timeoutMs passed; returns pred().
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 5000);

// Where the fixture programs (rasdial.exe, update.exe) record their command
// lines. Construct one per test: it points them at a fresh file.
struct StartedCommand {
    int show = -1;  // the ShowWindow style asked for (SW_HIDE 0, SW_SHOWNORMAL 1), -1 none
    std::wstring commandLine;
};

class CommandRecord {
public:
    CommandRecord();
    ~CommandRecord();
    // Command lines, in the order the programs were started.
    std::vector<std::wstring> Lines() const;
    std::vector<StartedCommand> Entries() const;
    // Waits (pumping messages) until at least n lines are there.
    std::vector<std::wstring> WaitForLines(size_t n, DWORD timeoutMs = 8000) const;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// Starts a command line in dir (nullptr: this one's); null when it could not.
plat::UniqueHandle StartProgram(std::wstring commandLine, const wchar_t* dir = nullptr);

// A top-level window of process pid, by class and/or caption; null when none.
HWND FindWindowOf(DWORD pid, const wchar_t* cls, const wchar_t* caption);

// How many processes of this exe name (case-insensitive) are running.
int RunningProcesses(const wchar_t* exeName);

// A file's bytes, empty when it is missing.
std::string ReadFileBytes(const std::wstring& path);

// Folder of the running test executable (where the fixtures are).
std::wstring TestBinFolder();
std::wstring TempFolder();

// The dialer's settings file as the profile functions see it.
std::wstring SettingsFilePath();
void RemoveSettingsFile();
// Raw bytes of the settings file (system code page), empty when missing.
std::string ReadSettingsFileBytes();
void WriteSettingsFileBytes(const std::string& bytes);

// The per-user Run value of the dialer; empty optional-like: found=false.
struct RegValue {
    bool found = false;
    DWORD type = 0;
    std::wstring data;
};
RegValue ReadRunValue();
void DeleteRunValue();

}  // namespace testing_support
