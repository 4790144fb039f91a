#include "dialer/settings.h"

#include <windows.h>

#include "platform/text.h"

namespace dialer {

const wchar_t kSettingsSection[] = L"Option";

namespace {
const char kSettingsFile[] = "list.ini";
constexpr size_t kMaxStoredChars = 128;
// Roomy enough for any value WriteIni stores (128 double-byte characters and
// a pair of quotes), so the profile functions never cut inside the quotes.
constexpr int kReadBufferBytes = 1024;

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool IsQuote(wchar_t c) { return c == L'"' || c == L'\''; }

// The profile functions drop blanks around a value and one pair of quotes
// (single or double) around it; such a value goes in an extra pair of quotes.
bool NeedsQuotes(const std::wstring& v) {
    if (v.empty()) return false;
    return IsBlank(v.front()) || IsBlank(v.back()) || (IsQuote(v.front()) && v.back() == v.front());
}
}  // namespace

std::wstring ReadIni(const std::wstring& section, const std::wstring& key) {
    char buffer[kReadBufferBytes] = {};
    GetPrivateProfileStringA(plat::ToAnsi(section).c_str(), plat::ToAnsi(key).c_str(), "", buffer,
                             kReadBufferBytes, kSettingsFile);
    std::string bytes(buffer);
    if (bytes.size() > kMaxValueBytes) {
        bytes.resize(kMaxValueBytes);
        // No half of a double-byte character at the cut.
        size_t i = 0;
        while (i < bytes.size()) i += IsDBCSLeadByte(static_cast<BYTE>(bytes[i])) ? 2 : 1;
        if (i > bytes.size()) bytes.pop_back();
    }
    // Blanks around an unquoted value are already gone; what is left came
    // from inside quotes on purpose.
    return plat::FromAnsi(bytes);
}

void WriteIni(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    std::wstring stored = value.substr(0, kMaxStoredChars);
    // The profile functions end the value at the first NUL.
    stored = stored.substr(0, stored.find(L'\0'));
    if (NeedsQuotes(stored)) stored = L"\"" + stored + L"\"";
    WritePrivateProfileStringA(plat::ToAnsi(section).c_str(), plat::ToAnsi(key).c_str(),
                               plat::ToAnsi(stored).c_str(), kSettingsFile);
}

bool StorableInSettings(const std::wstring& value) {
    if (value.empty()) return true;
    // UTF-8 as the system code page stores everything (and takes no flags).
    if (GetACP() == CP_UTF8) return true;
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, value.data(), static_cast<int>(value.size()),
                                      nullptr, 0, nullptr, &usedDefault);
    return n > 0 && !usedDefault;
}

size_t StoredBytes(const std::wstring& value) {
    if (value.empty()) return 0;
    return static_cast<size_t>(
        WideCharToMultiByte(CP_ACP, 0, value.data(), static_cast<int>(value.size()), nullptr, 0, nullptr, nullptr));
}

size_t StorablePrefix(const std::wstring& value, size_t maxBytes) {
    size_t chars = 0, bytes = 0;
    while (chars < value.size()) {
        const size_t n = IS_HIGH_SURROGATE(value[chars]) && chars + 1 < value.size() ? 2 : 1;
        bytes += StoredBytes(value.substr(chars, n));
        if (bytes > maxBytes) break;
        chars += n;
    }
    return chars;
}

}  // namespace dialer
