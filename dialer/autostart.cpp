#include "dialer/autostart.h"

#include <windows.h>

#include "platform/handles.h"

namespace dialer {

namespace {
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValueName[] = L"Quendrik";
}  // namespace

std::wstring RunValueData(const std::wstring& folder, const std::wstring& baseName) {
    std::wstring data = folder;
    if (folder.size() != 3) data += L'\\';
    data += baseName + L".Exe";
    // Unquoted, "C:\Program Files\x.Exe" would start "C:\Program" first.
    if (data.find(L' ') != std::wstring::npos) data = L"\"" + data + L"\"";
    return data;
}

bool WriteRunValue(const std::wstring& data) {
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr) !=
        ERROR_SUCCESS)
        return false;
    plat::UniqueRegKey key(raw);
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), kRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes) ==
           ERROR_SUCCESS;
}

bool DeleteRunValue() {
    HKEY raw = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &raw);
    if (rc == ERROR_FILE_NOT_FOUND) return true;
    if (rc != ERROR_SUCCESS) return false;
    plat::UniqueRegKey key(raw);
    rc = RegDeleteValueW(key.get(), kRunValueName);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

}  // namespace dialer
