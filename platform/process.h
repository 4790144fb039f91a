// Starting programs by command line, the way the shell's "run" does:
// started and left alone, no waiting, no exit status.
#pragma once
#include <windows.h>

#include <string>

#include "platform/handles.h"

namespace plat {

// Starts cmdline with the given ShowWindow style (SW_HIDE, SW_SHOWNORMAL ...)
// in currentDir (empty: this one), adding creationFlags (CREATE_NO_WINDOW ...)
// to CreateProcess's. Returns 0, or the Win32 error when it could not be
// started. A caller that watches the process gets its handle.
DWORD StartProcess(const std::wstring& cmdline, int showCmd, const std::wstring& currentDir = {},
                   UniqueHandle* process = nullptr, DWORD creationFlags = 0);

// Quotes one argument by the Windows command-line rules when it is empty or
// holds a space, tab or double quote; any other text comes back unchanged.
std::wstring QuoteArgument(const std::wstring& arg);

}  // namespace plat
