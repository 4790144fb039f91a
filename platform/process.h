// Starting programs by command line, the way the shell's "run" does:
// started and left alone, no waiting, no exit status.
#pragma once
#include <windows.h>

#include <string>

#include "platform/handles.h"

namespace plat {

// Starts cmdline with the given ShowWindow style (SW_HIDE, SW_SHOWNORMAL ...).
// Returns false when the program could not be started; the error is in GetLastError().
bool StartProcess(const std::wstring& cmdline, int showCmd, const std::wstring& currentDir = {});
// The same, for callers that watch the process: hands back its handle and
// returns 0, or the Win32 error when it could not be started.
DWORD StartProcess(const std::wstring& cmdline, int showCmd, UniqueHandle& process);

// The system's text for a Win32 error, without the trailing line break;
// empty when the system has none.
std::wstring SystemErrorText(DWORD error);

// Quotes one argument by the Windows command-line rules when it is empty or
// holds a space, tab or double quote; any other text comes back unchanged.
std::wstring QuoteArgument(const std::wstring& arg);

}  // namespace plat
