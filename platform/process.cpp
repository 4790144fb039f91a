#include "platform/process.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "platform/handles.h"

namespace plat {

namespace {

DWORD Start(const std::wstring& cmdline, int showCmd, const std::wstring& currentDir, DWORD flags,
            PROCESS_INFORMATION& pi) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(showCmd);
    // CreateProcessW may write into the command line buffer.
    std::vector<wchar_t> buf(cmdline.begin(), cmdline.end());
    buf.push_back(L'\0');
    BOOL ok = CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, flags, nullptr,
                             currentDir.empty() ? nullptr : currentDir.c_str(), &si, &pi);
    return ok ? 0 : GetLastError();
}

}  // namespace

DWORD StartProcess(const std::wstring& cmdline, int showCmd, const std::wstring& currentDir, UniqueHandle* process,
                   DWORD creationFlags) {
    PROCESS_INFORMATION pi{};
    const DWORD error = Start(cmdline, showCmd, currentDir, creationFlags, pi);
    if (error != 0) return error;
    UniqueHandle started(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    if (process) *process = std::move(started);
    return 0;
}

std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            // Backslashes before a quote are doubled, and the quote escaped.
            out.append(backslashes * 2 + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        backslashes = 0;
        out.push_back(c);
    }
    // Trailing backslashes would escape the closing quote.
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

}  // namespace plat
