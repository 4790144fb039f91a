// The dialer's settings: "list.ini", a bare profile file name, so it lives in
// the Windows directory and every copy of the program shares it. Every call
// goes to the file; nothing is cached.
#pragma once
#include <cstddef>
#include <string>

namespace dialer {

extern const wchar_t kSettingsSection[];  // "Option"

// The most of a value, in bytes of the system code page, that comes back.
constexpr size_t kMaxValueBytes = 127;

// Value of key, at most 127 bytes in the system code page, as WriteIni stored
// it (blanks around a value typed into the file by hand are dropped); empty
// when the file, section or key is missing.
std::wstring ReadIni(const std::wstring& section, const std::wstring& key);

// Stores value cut to its first 128 characters, in the system code page;
// quoted when the profile functions would otherwise change it on reading.
void WriteIni(const std::wstring& section, const std::wstring& key, const std::wstring& value);

// Whether the system code page holds every character of value; what it
// cannot hold is stored as something else.
bool StorableInSettings(const std::wstring& value);

// Bytes value takes in the system code page.
size_t StoredBytes(const std::wstring& value);
// How many characters from the start of value fit in maxBytes, never half
// of a surrogate pair.
size_t StorablePrefix(const std::wstring& value, size_t maxBytes);

}  // namespace dialer
