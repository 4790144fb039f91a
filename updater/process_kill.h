// Ending the running dialer: the processes running the very file the update
// replaces, not every program of that name.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace updater {

// Whether two full paths name the same file: compared without regard to
// case, each in its long form (a folder reached through its short name is
// the same folder).
bool SamePath(const std::wstring& a, const std::wstring& b);

// Whether process pid runs in this process's session (the user's own log-on
// on a machine shared through fast user switching or remote desktop). A
// process whose session cannot be read is not counted as ours.
bool InOwnSession(DWORD pid);

// Identifiers of the running processes (other than this one) in this
// session whose image is the file program (a full path). A process whose
// image path cannot be read is left out.
std::vector<DWORD> FindProcesses(const std::wstring& program);

// Asks every such process to close the way a user would: each of its
// top-level forms gets WM_CLOSE, so its unload handling runs. Returns the
// number of windows asked.
int AskProcessesToClose(const std::wstring& program);

// Ends every such process at once, without notice.
void KillProcess(const std::wstring& program);

}  // namespace updater
