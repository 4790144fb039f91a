#include "platform/text.h"

#include <windows.h>

namespace plat {

std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromAnsi(const std::string& text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::wstring WindowText(void* hwnd) {
    HWND h = static_cast<HWND>(hwnd);
    int len = GetWindowTextLengthW(h);
    if (len <= 0) return {};
    std::wstring out(static_cast<size_t>(len) + 1, L'\0');
    int got = GetWindowTextW(h, out.data(), len + 1);
    out.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return out;
}

void SetWindowTextOf(void* hwnd, const std::wstring& text) {
    SetWindowTextW(static_cast<HWND>(hwnd), text.c_str());
}

}  // namespace plat
