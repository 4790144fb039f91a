#include "dialer/dial_processes.h"

#include <algorithm>

#include "platform/process.h"

namespace dialer {

namespace {
DWORD g_timeLimitMs = kDialTimeLimitMs;
}  // namespace

void DialProcesses::SetTimeLimit(DWORD ms) { g_timeLimitMs = ms; }

DWORD DialProcesses::Start(const std::wstring& cmdline) {
    Reap();
    plat::UniqueHandle process;
    const DWORD error = plat::StartProcess(cmdline, SW_HIDE, process);
    if (error == 0) dials_.push_back({std::move(process), GetTickCount()});
    return error;
}

bool DialProcesses::StartIfIdle(const std::wstring& cmdline) {
    if (Running() != 0) return false;
    return Start(cmdline) == 0;
}

void DialProcesses::Reap() {
    const DWORD now = GetTickCount();
    auto done = [now](Dial& d) {
        if (WaitForSingleObject(d.process.get(), 0) != WAIT_TIMEOUT) return true;
        if (now - d.startedAt < g_timeLimitMs) return false;
        TerminateProcess(d.process.get(), ERROR_TIMEOUT);
        return true;
    };
    dials_.erase(std::remove_if(dials_.begin(), dials_.end(), done), dials_.end());
}

size_t DialProcesses::Running() {
    Reap();
    return dials_.size();
}

}  // namespace dialer
