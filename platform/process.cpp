#include "platform/process.h"

#include <windows.h>

#include <vector>

#include "platform/handles.h"

namespace plat {

namespace {

DWORD Start(const std::wstring& cmdline, int showCmd, const std::wstring& currentDir, PROCESS_INFORMATION& pi) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(showCmd);
    // CreateProcessW may write into the command line buffer.
    std::vector<wchar_t> buf(cmdline.begin(), cmdline.end());
    buf.push_back(L'\0');
    BOOL ok = CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             currentDir.empty() ? nullptr : currentDir.c_str(), &si, &pi);
    return ok ? 0 : GetLastError();
}

}  // namespace

bool StartProcess(const std::wstring& cmdline, int showCmd, const std::wstring& currentDir) {
    PROCESS_INFORMATION pi{};
    const DWORD error = Start(cmdline, showCmd, currentDir, pi);
    if (error != 0) {
        SetLastError(error);
        return false;
    }
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    return true;
}

DWORD StartProcess(const std::wstring& cmdline, int showCmd, UniqueHandle& process) {
    PROCESS_INFORMATION pi{};
    const DWORD error = Start(cmdline, showCmd, {}, pi);
    if (error != 0) return error;
    process.reset(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    return 0;
}

std::wstring SystemErrorText(DWORD error) {
    wchar_t text[512] = {};
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                   512, nullptr);
    std::wstring out(text, n);
    const size_t end = out.find_last_not_of(L" \r\n\t");
    out.resize(end == std::wstring::npos ? 0 : end + 1);
    return out;
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
