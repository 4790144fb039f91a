// Putting a new program file in place of the old one so that a failure at
// any step leaves the old one as it was.
#pragma once
#include <windows.h>

#include <string>

namespace updater {

struct ReplaceResult {
    bool ok = false;
    std::wstring reason;  // for the user, when !ok
};

// Copies source next to target under a temporary name, moves target aside
// as a backup, moves the copy in, and only then drops the backup. While
// target is still held by an exiting process the move is retried for
// retryMs milliseconds.
ReplaceResult ReplaceProgramFile(const std::wstring& source, const std::wstring& target, DWORD retryMs);

}  // namespace updater
