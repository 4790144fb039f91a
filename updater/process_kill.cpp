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

bool SamePath(const std::wstring& a, const std::wstring& b) {
    const auto longForm = [](const std::wstring& path) {
        std::wstring out(MAX_PATH, L'\0');
        for (int attempt = 0; attempt < 2; ++attempt) {
            const DWORD n = GetLongPathNameW(path.c_str(), out.data(), static_cast<DWORD>(out.size()));
            if (n == 0) return path;
            if (n < out.size()) return out.substr(0, n);
            out.resize(n);
        }
        return path;
    };
    const std::wstring x = longForm(a), y = longForm(b);
    if (x.empty() || y.empty()) return false;
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()), TRUE) ==
           CSTR_EQUAL;
}

bool InOwnSession(DWORD pid) {
    DWORD own = 0, theirs = 0;
    return ProcessIdToSessionId(GetCurrentProcessId(), &own) && ProcessIdToSessionId(pid, &theirs) && own == theirs;
}

std::vector<DWORD> FindProcesses(const std::wstring& program) {
    std::vector<DWORD> found;
    plat::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return found;
    const DWORD self = GetCurrentProcessId();
    std::vector<wchar_t> image(32768);  // the longest path there is
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == self || !InOwnSession(entry.th32ProcessID)) continue;
        plat::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        DWORD size = static_cast<DWORD>(image.size());
        if (!process || !QueryFullProcessImageNameW(process.get(), 0, image.data(), &size)) continue;
        if (SamePath(std::wstring(image.data(), size), program)) found.push_back(entry.th32ProcessID);
    }
    return found;
}

int AskProcessesToClose(const std::wstring& program) {
    std::vector<DWORD> processes = FindProcesses(program);
    if (processes.empty()) return 0;
    CloseRequest request{&processes, 0};
    EnumWindows(AskWindowToClose, reinterpret_cast<LPARAM>(&request));
    return request.asked;
}

void KillProcess(const std::wstring& program) {
    for (DWORD pid : FindProcesses(program)) {
        plat::UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
        // One that cannot be opened or ended is passed over.
        if (process) TerminateProcess(process.get(), 0);
    }
}

}  // namespace updater
