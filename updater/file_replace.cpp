#include "updater/file_replace.h"

namespace updater {

namespace {

constexpr DWORD kRetryStepMs = 100;

bool Exists(const std::wstring& path, DWORD* attributes = nullptr) {
    DWORD a = GetFileAttributesW(path.c_str());
    if (attributes) *attributes = a;
    return a != INVALID_FILE_ATTRIBUTES;
}

void RemoveLeftover(const std::wstring& path) {
    if (!Exists(path)) return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

bool IsLockError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

}  // namespace

ReplaceResult ReplaceProgramFile(const std::wstring& source, const std::wstring& target, DWORD retryMs) {
    ReplaceResult result;
    DWORD sourceAttributes = 0;
    if (!Exists(source, &sourceAttributes) || (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        result.reason = L"找不到下载的新程序文件";
        return result;
    }
    DWORD targetAttributes = 0;
    const bool targetExists = Exists(target, &targetAttributes);
    if (targetExists && (targetAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        result.reason = L"原程序的位置被一个文件夹占用";
        return result;
    }
    // A read-only program was protected on purpose; it is not ours to unprotect.
    if (targetExists && (targetAttributes & FILE_ATTRIBUTE_READONLY)) {
        result.reason = L"原程序文件是只读的，无法替换";
        return result;
    }

    const std::wstring fresh = target + L".new";
    const std::wstring backup = target + L".old";
    RemoveLeftover(fresh);
    if (!CopyFileW(source.c_str(), fresh.c_str(), FALSE)) {
        RemoveLeftover(fresh);
        result.reason = L"无法在程序所在的文件夹中写入新文件";
        return result;
    }
    SetFileAttributesW(fresh.c_str(), FILE_ATTRIBUTE_NORMAL);

    if (targetExists) {
        RemoveLeftover(backup);
        const DWORD start = GetTickCount();
        for (;;) {
            if (MoveFileExW(target.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING)) break;
            const DWORD error = GetLastError();
            if (!IsLockError(error) || GetTickCount() - start >= retryMs) {
                RemoveLeftover(fresh);
                result.reason = IsLockError(error) ? L"原程序文件正在被使用，无法替换" : L"无法替换原程序文件";
                return result;
            }
            Sleep(kRetryStepMs);
        }
    }
    if (!MoveFileExW(fresh.c_str(), target.c_str(), 0)) {
        if (targetExists) MoveFileExW(backup.c_str(), target.c_str(), 0);
        RemoveLeftover(fresh);
        result.reason = L"无法替换原程序文件";
        return result;
    }
    // The old program may still be mapped by a process on its way out; the
    // backup then stays until the next update removes it.
    if (targetExists) DeleteFileW(backup.c_str());
    result.ok = true;
    return result;
}

}  // namespace updater
