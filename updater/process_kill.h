// Ending the running dialer, found by its executable name.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace updater {

// Whole executable names, compared without regard to case.
bool SameExecutableName(const std::wstring& a, const std::wstring& b);

// Whether process pid runs in this process's session (the user's own log-on
// on a machine shared through fast user switching or remote desktop). A
// process whose session cannot be read is not counted as ours.
bool InOwnSession(DWORD pid);

// Identifiers of the running processes (other than this one) in this
// session whose executable name is name.
std::vector<DWORD> FindProcesses(const std::wstring& name);

// Asks every such process to close the way a user would: each of its
// top-level forms gets WM_CLOSE, so its unload handling runs. Returns the
// number of windows asked.
int AskProcessesToClose(const std::wstring& name);

// Ends every such process at once, without notice.
void KillProcess(const std::wstring& name);

}  // namespace updater
