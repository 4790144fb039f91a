#include "dialer/commands.h"

#include "platform/process.h"

namespace dialer {

const wchar_t kUpdaterCommandLine[] = L"update.exe";

std::wstring DialCommandLine(const std::wstring& entry, const std::wstring& user, const std::wstring& password) {
    using plat::QuoteArgument;
    return L"Rasdial " + QuoteArgument(entry) + L" " + QuoteArgument(user) + L" " + QuoteArgument(password);
}

std::wstring DisconnectCommandLine(const std::wstring& entry) {
    return L"rasdial.exe " + plat::QuoteArgument(entry) + L" /disconnect";
}

}  // namespace dialer
