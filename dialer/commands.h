// The command lines the dialer starts. Arguments are quoted only where the
// Windows command-line rules need it, so plain values give the classic lines.
#pragma once
#include <string>

namespace dialer {

// "Rasdial <entry> <user> <password>"
std::wstring DialCommandLine(const std::wstring& entry, const std::wstring& user, const std::wstring& password);
// "rasdial.exe <entry> /disconnect"
std::wstring DisconnectCommandLine(const std::wstring& entry);

extern const wchar_t kUpdaterCommandLine[];  // "update.exe"

}  // namespace dialer
