#include "updater/process_kill.h"

#include <tlhelp32.h>

#include <algorithm>

#include "platform/handles.h"
#include "platform/window.h"

namespace updater {

namespace {

struct CloseRequest {
    const std::vector<DWORD>* processes;
    int asked;
};

BOOL CALLBACK AskWindowToClose(HWND hwnd, LPARAM param) {
    auto* request = reinterpret_cast<CloseRequest*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    const auto& pids = *request->processes;
    if (std::find(pids.begin(), pids.end(), pid) == pids.end()) return TRUE;
    // Only the program's own forms: closing them is what the user's close
    // does. Owned windows and helper windows go with their owners.
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    if (lstrcmpW(className, plat::kFormClassName) != 0 || GetWindow(hwnd, GW_OWNER)) return TRUE;
    if (PostMessageW(hwnd, WM_CLOSE, 0, 0)) ++request->asked;
    return TRUE;
}

}  // namespace

bool SameExecutableName(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty()) return false;
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

bool InOwnSession(DWORD pid) {
    DWORD own = 0, theirs = 0;
    return ProcessIdToSessionId(GetCurrentProcessId(), &own) && ProcessIdToSessionId(pid, &theirs) && own == theirs;
}

std::vector<DWORD> FindProcesses(const std::wstring& name) {
    std::vector<DWORD> found;
    plat::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return found;
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        if (entry.th32ProcessID != self && SameExecutableName(entry.szExeFile, name) &&
            InOwnSession(entry.th32ProcessID))
            found.push_back(entry.th32ProcessID);
    }
    return found;
}

int AskProcessesToClose(const std::wstring& name) {
    std::vector<DWORD> processes = FindProcesses(name);
    if (processes.empty()) return 0;
    CloseRequest request{&processes, 0};
    EnumWindows(AskWindowToClose, reinterpret_cast<LPARAM>(&request));
    return request.asked;
}

void KillProcess(const std::wstring& name) {
    for (DWORD pid : FindProcesses(name)) {
        plat::UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
        // One that cannot be opened or ended is passed over.
        if (process) TerminateProcess(process.get(), 0);
    }
}

}  // namespace updater
