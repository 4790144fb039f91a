// Shared pieces of the updater's tests: the loopback server's addresses and
// bodies, throw-away program folders, the dialer stand-ins, and answering
// message boxes.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles.h"

namespace updater_test {

// http://127.0.0.1:<port><path> on the tests' server.
std::wstring ServerUrl(const std::wstring& path);
// Where nothing listens: the connection is refused.
std::wstring RefusedUrl();

// The server's generated body of the given size (see http_server.py).
std::string ExpectedBody(size_t size);

std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
// Names of the entries of a folder (no "." or ".."), sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder);

// A fresh folder that stands for the updater's own folder, removed with
// everything in it at the end of the test.
class TempProgramFolder {
public:
    TempProgramFolder();
    ~TempProgramFolder();
    TempProgramFolder(const TempProgramFolder&) = delete;
    TempProgramFolder& operator=(const TempProgramFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// A running dialer stand-in (testbin\updater\...). The log shows its start
// and whether its form was closed normally.
class Standin {
public:
    enum Kind { Dialer, DialerUpperCase, OtherName };
    // Starts it and waits until its form is up.
    Standin(Kind kind, bool ignoreClose, const std::wstring& logPath);
    ~Standin();  // ends it if it still runs
    Standin(const Standin&) = delete;
    Standin& operator=(const Standin&) = delete;
    bool started() const { return static_cast<bool>(process_); }
    DWORD pid() const { return pid_; }
    bool Running() const;
    // Waits (pumping messages) for its end; returns its exit code, or
    // STILL_ACTIVE when it did not end in time.
    DWORD WaitForExit(DWORD timeoutMs);

private:
    plat::UniqueHandle process_;
    DWORD pid_ = 0;
};

// Log lines of the stand-ins (UTF-8 file -> lines).
std::vector<std::wstring> ReadLogLines(const std::wstring& path);
bool LogHasLine(const std::wstring& path, const std::wstring& line);
std::wstring StandinFolder();

// What a message box showed and which buttons and icon it had.
struct BoxRecord {
    std::wstring title;
    std::wstring text;
    std::vector<int> buttons;  // IDOK, IDYES, IDNO ... present
    bool hasIcon = false;
    std::wstring statusLine;   // the download window's Label3 while the box was open
    DWORD shownAt = 0;         // GetTickCount when it was found
};

// Answers the message boxes this thread opens, in order, from a thread
// timer (it runs inside the boxes' own message loops). Records each.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(std::vector<int> answers, HWND downloadWindow = nullptr);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
    const std::vector<BoxRecord>& boxes() const { return boxes_; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK FindBox(HWND hwnd, LPARAM param);
    void Poll();

    std::vector<int> answers_;
    size_t next_ = 0;
    HWND downloadWindow_;
    HWND answered_ = nullptr;
    UINT_PTR timer_ = 0;
    std::vector<BoxRecord> boxes_;
};

// Reads a message box window (any process).
BoxRecord ReadBox(HWND box);
// Presses a button of a message box by posting, as a user's click would end up.
void PressBoxButton(HWND box, int id);

}  // namespace updater_test
