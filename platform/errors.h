// How a Win32 error reaches the user: the system's own words, and the
// number to search for.
#pragma once
#include <windows.h>

#include <string>

namespace plat {

// The system's text for a Win32 error, without the trailing line break;
// empty when the system has none.
std::wstring SystemErrorText(DWORD error);

// "（错误 N）" for a system error, nothing for 0.
std::wstring ErrorSuffix(DWORD error);

// A number in decimal digits, as the user reads it. Not std::to_wstring:
// that links the whole printf engine into the program (about 28 KB).
std::wstring DecimalText(unsigned long value);
// The last DIGITS hexadecimal digits of a number, upper case ("C000A000").
std::wstring HexText(unsigned long value, int digits);

}  // namespace plat
