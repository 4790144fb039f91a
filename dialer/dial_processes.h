// The dial processes this program started and that may still be running.
// A hung rasdial (one waiting for input on its hidden console, say) must not
// be joined by a new one on every re-dial tick, nor live for ever.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles.h"

namespace dialer {

constexpr DWORD kDialTimeLimitMs = 120000;

class DialProcesses {
public:
    // Starts a dial at once and keeps its process. Returns 0 or the Win32 error.
    DWORD Start(const std::wstring& cmdline);
    // Starts a dial only when none of ours is still running.
    bool StartIfIdle(const std::wstring& cmdline);
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
