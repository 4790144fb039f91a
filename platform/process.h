// Starting programs by command line, the way the shell's "run" does:
// started and left alone, no waiting, no exit status.
#pragma once
#include <string>

namespace plat {

// Starts cmdline with the given ShowWindow style (SW_HIDE, SW_SHOWNORMAL ...).
// Returns false when the program could not be started; the error is in GetLastError().
bool StartProcess(const std::wstring& cmdline, int showCmd, const std::wstring& currentDir = {});

// Quotes one argument by the Windows command-line rules when it is empty or
// holds a space, tab or double quote; any other text comes back unchanged.
std::wstring QuoteArgument(const std::wstring& arg);

}  // namespace plat
