#include "dialer/settings.h"

#include <windows.h>

#include "platform/text.h"

namespace dialer {

const wchar_t kSettingsSection[] = L"Option";

namespace {
const char kSettingsFile[] = "list.ini";
constexpr int kValueBufferBytes = 128;
constexpr size_t kMaxStoredChars = 128;
}  // namespace

std::wstring ReadIni(const std::wstring& section, const std::wstring& key) {
    char buffer[kValueBufferBytes] = {};
    GetPrivateProfileStringA(plat::ToAnsi(section).c_str(), plat::ToAnsi(key).c_str(), "", buffer,
                             kValueBufferBytes, kSettingsFile);
    std::wstring value = plat::FromAnsi(buffer);
    size_t first = value.find_first_not_of(L' ');
    if (first == std::wstring::npos) return {};
    size_t last = value.find_last_not_of(L' ');
    return value.substr(first, last - first + 1);
}

void WriteIni(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    std::wstring stored = value.substr(0, kMaxStoredChars);
    // The profile functions end the value at the first NUL.
    stored = stored.substr(0, stored.find(L'\0'));
    WritePrivateProfileStringA(plat::ToAnsi(section).c_str(), plat::ToAnsi(key).c_str(),
                               plat::ToAnsi(stored).c_str(), kSettingsFile);
}

}  // namespace dialer
