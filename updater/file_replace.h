// Putting a new program file in place of the old one so that a failure at
// any step leaves the old one as it was, or says where it was kept.
#pragma once
#include <windows.h>

#include <string>

#include "updater/signature.h"

namespace updater {

struct ReplaceResult {
    bool ok = false;
    std::wstring reason;  // for the user, when !ok
    DWORD error = 0;      // the system's error behind reason, 0 when none
    // When !ok and the old program could not be put back: the file that
    // now holds it. Empty when the old program is where it was.
    std::wstring backupKept;
};

// Copies source next to target under a temporary name and flushes it to the
// disk, and goes on only when the copy's SHA-256 is sha256; from then on the
// copy is held open so that nobody else can change, rename or delete it.
// Moves target aside as a backup, renames the held copy into place through
// its handle, and only then drops the backup; the moves are written through.
// While target is still held by an exiting process (or the copy by a
// scanner) the step is retried for retryMs milliseconds.
ReplaceResult ReplaceProgramFile(const std::wstring& source, const Digest& sha256, const std::wstring& target,
                                 DWORD retryMs);


// The file CheckFolderWritable creates and deletes again.
extern const wchar_t kWriteProbeName[];

// 0 when a file can be created and deleted in folder, else the system's
// error. Run before anything is changed, so an update that cannot be
// installed ends no dialer and touches nothing.
DWORD CheckFolderWritable(const std::wstring& folder);
// What the user is told when CheckFolderWritable failed.
std::wstring UnwritableFolderMessage(const std::wstring& folder, DWORD error);

// Called with the target's path once the old program has been moved aside,
// before the new one is moved in. Tests use it to make the file system
// refuse at that moment; null in the programs.
using AfterBackupHook = void (*)(const std::wstring& target);
void SetAfterBackupHookForTesting(AfterBackupHook hook);

}  // namespace updater
