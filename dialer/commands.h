// The command lines the dialer starts, and the dials it keeps an eye on.
// Arguments are quoted only where the Windows command-line rules need it, so
// plain values give the classic lines.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/remote_access.h"

namespace dialer {

// "Rasdial <entry> <user> <password>"
std::wstring DialCommandLine(const std::wstring& entry, const std::wstring& user, const std::wstring& password);
// "rasdial.exe <entry> /disconnect"
std::wstring DisconnectCommandLine(const std::wstring& entry);

extern const wchar_t kUpdaterCommandLine[];  // "update.exe"

// Starts the disconnect command line, as the dials start: hidden, without a
// console. Returns 0 or the Win32 error.
DWORD StartDisconnect(const std::wstring& entry);

// Whether the connection of a phone-book entry is up, as the re-dial asks
// it before it dials (plat::RasEntryLinkState).
plat::LinkState QueryLinkState(const std::wstring& entry);
// Tests only: the question goes here instead; null puts the system's back.
using LinkStateQuery = plat::LinkState (*)(const std::wstring& entry);
void SetLinkStateQuery(LinkStateQuery query);

// The dial processes this program started and that may still be running.
// A hung rasdial must not be joined by another dial of ours, nor live for
// ever.
constexpr DWORD kDialTimeLimitMs = 120000;

class DialProcesses {
public:
    // Starts a dial (hidden, without a console) and keeps its process.
    // Returns 0 or the Win32 error.
    DWORD Start(const std::wstring& cmdline);
    // Forgets the dials that ended and ends those running longer than the limit.
    void Reap();
    size_t Running();

    // Tests only: a shorter limit.
    static void SetTimeLimit(DWORD ms);

private:
    struct Dial {
        plat::UniqueHandle process;
        DWORD startedAt;
    };
    std::vector<Dial> dials_;
};


}  // namespace dialer
