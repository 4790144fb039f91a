// Where the running program lives, independent of the current directory.
#pragma once
#include <string>

namespace plat {

std::wstring ProgramPath();      // full path of the running exe
std::wstring ProgramFolder();    // its folder, no trailing backslash except a drive root ("C:\")
std::wstring ProgramBaseName();  // its file name without the extension

// folder + "\" + name, with no doubled backslash when folder already ends in one.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

}  // namespace plat
