#include "dialer/commands.h"

#include <algorithm>

#include "platform/process.h"

namespace dialer {

const wchar_t kUpdaterCommandLine[] = L"update.exe";

std::wstring DialCommandLine(const std::wstring& entry, const std::wstring& user, const std::wstring& password) {
    using plat::QuoteArgument;
    return L"Rasdial " + QuoteArgument(entry) + L" " + QuoteArgument(user) + L" " + QuoteArgument(password);
}

std::wstring DisconnectCommandLine(const std::wstring& entry) {
    return L"rasdial.exe " + plat::QuoteArgument(entry) + L" /disconnect";
}

namespace {
DWORD g_timeLimitMs = kDialTimeLimitMs;
LinkStateQuery g_linkStateQuery = plat::RasEntryLinkState;

// rasdial is a console program: no console window is made for it at all.
DWORD StartRasdial(const std::wstring& cmdline, plat::UniqueHandle* process) {
    return plat::StartProcess(cmdline, SW_HIDE, {}, process, CREATE_NO_WINDOW);
}
}  // namespace

DWORD StartDisconnect(const std::wstring& entry) { return StartRasdial(DisconnectCommandLine(entry), nullptr); }

plat::LinkState QueryLinkState(const std::wstring& entry) { return g_linkStateQuery(entry); }
void SetLinkStateQuery(LinkStateQuery query) { g_linkStateQuery = query ? query : plat::RasEntryLinkState; }

void DialProcesses::SetTimeLimit(DWORD ms) { g_timeLimitMs = ms; }

DWORD DialProcesses::Start(const std::wstring& cmdline) {
    Reap();
    plat::UniqueHandle process;
    const DWORD error = StartRasdial(cmdline, &process);
    if (error == 0) dials_.push_back({std::move(process), GetTickCount()});
    return error;
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
