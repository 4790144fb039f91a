#include "updater/file_replace.h"

#include <cstring>
#include <vector>

#include "platform/errors.h"
#include "platform/handles.h"
#include "platform/module_path.h"

namespace updater {

const wchar_t kWriteProbeName[] = L"vornadel-write-probe.tmp";

namespace {

constexpr DWORD kRetryStepMs = 100;

AfterBackupHook g_afterBackup = nullptr;

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

// The copy under its temporary name, opened for reading, renaming and
// flushing and shared only for reading; null (with the last error set) when
// it cannot be made so. A scanner that looks at the new file first is
// waited for as long as retryMs.
plat::UniqueFile StageCopy(const std::wstring& source, const std::wstring& copy, DWORD retryMs) {
    if (!CopyFileW(source.c_str(), copy.c_str(), FALSE)) return {};
    SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    for (const DWORD start = GetTickCount();; Sleep(kRetryStepMs)) {
        plat::UniqueFile file(CreateFileW(copy.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_SHARING_VIOLATION || GetTickCount() - start >= retryMs) return file;
    }
}

// Renames the open file to newPath (a full path) through its handle: the
// file that takes the name is the one held, whatever was done to its name
// meanwhile.
bool RenameHeldFile(HANDLE file, const std::wstring& newPath) {
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + newPath.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(newPath.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, newPath.data(), info->FileNameLength);
    return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
}

ReplaceResult Failure(const wchar_t* reason, DWORD error) {
    ReplaceResult result;
    result.reason = reason;
    result.error = error;
    return result;
}

}  // namespace

ReplaceResult ReplaceProgramFile(const std::wstring& source, const Digest& sha256, const std::wstring& target,
                                 DWORD retryMs) {
    DWORD sourceAttributes = 0;
    if (!Exists(source, &sourceAttributes) || (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return Failure(L"找不到下载的新程序文件", 0);
    DWORD targetAttributes = 0;
    const bool targetExists = Exists(target, &targetAttributes);
    if (targetExists && (targetAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return Failure(L"原程序的位置被一个文件夹占用", 0);
    // A read-only program was protected on purpose; it is not ours to unprotect.
    if (targetExists && (targetAttributes & FILE_ATTRIBUTE_READONLY))
        return Failure(L"原程序文件是只读的，无法替换", 0);

    const std::wstring fresh = target + L".new";
    const std::wstring backup = target + L".old";
    RemoveLeftover(fresh);
    plat::UniqueFile staged = StageCopy(source, fresh, retryMs);
    // On the disk before any name is changed, so that a power cut cannot
    // leave a half-written program under the program's name.
    if (!staged || !FlushFileBuffers(staged.get())) {
        const DWORD error = GetLastError();
        staged.reset();
        RemoveLeftover(fresh);
        return Failure(L"无法在程序所在的文件夹中写入新文件", error);
    }
    Digest copied{};
    const DWORD hashError = Sha256OfFile(staged.get(), copied);
    if (hashError || copied != sha256) {
        staged.reset();
        RemoveLeftover(fresh);
        return Failure(hashError ? L"无法读取新程序文件" : L"下载的文件在校验之后被改动过", hashError);
    }

    if (targetExists) {
        RemoveLeftover(backup);
        const DWORD start = GetTickCount();
        for (;;) {
            if (MoveFileExW(target.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) break;
            const DWORD error = GetLastError();
            if (!IsLockError(error) || GetTickCount() - start >= retryMs) {
                staged.reset();
                RemoveLeftover(fresh);
                return Failure(IsLockError(error) ? L"原程序文件正在被使用，无法替换" : L"无法替换原程序文件", error);
            }
            Sleep(kRetryStepMs);
        }
        if (g_afterBackup) g_afterBackup(target);
    }
    if (!RenameHeldFile(staged.get(), target)) {
        ReplaceResult result = Failure(L"无法替换原程序文件", GetLastError());
        staged.reset();
        if (targetExists && !MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
            result.backupKept = backup;
        RemoveLeftover(fresh);
        return result;
    }
    // Writes the new name through, as the moves do.
    FlushFileBuffers(staged.get());
    staged.reset();
    // The old program may still be mapped by a process on its way out; the
    // backup then stays until the next update removes it.
    if (targetExists) DeleteFileW(backup.c_str());
    ReplaceResult result;
    result.ok = true;
    return result;
}


DWORD CheckFolderWritable(const std::wstring& folder) {
    const std::wstring probe = plat::JoinPath(folder, kWriteProbeName);
    {
        plat::UniqueFile file(
            CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (!file) return GetLastError();
    }
    return DeleteFileW(probe.c_str()) ? 0 : GetLastError();
}

std::wstring UnwritableFolderMessage(const std::wstring& folder, DWORD error) {
    return L"升级失败：程序所在的文件夹（" + folder + L"）不能写入" + plat::ErrorSuffix(error) +
           L"。\n请用安装程序把 Vornadel 安装到 %LOCALAPPDATA%\\Programs\\Vornadel，或者以有写入权限的帐户运行。";
}

void SetAfterBackupHookForTesting(AfterBackupHook hook) { g_afterBackup = hook; }

}  // namespace updater
