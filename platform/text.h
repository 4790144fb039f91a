// Conversions between the programs' UTF-16 and the system ANSI code page
// used by the settings file and other narrow interfaces.
#pragma once
#include <string>

namespace plat {

std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);

// Text of a window (control or caption) and setting it.
std::wstring WindowText(void* hwnd);
void SetWindowTextOf(void* hwnd, const std::wstring& text);

}  // namespace plat
