#include "platform/errors.h"

namespace plat {

std::wstring SystemErrorText(DWORD error) {
    wchar_t text[512] = {};
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                   512, nullptr);
    std::wstring out(text, n);
    const size_t end = out.find_last_not_of(L" \r\n\t");
    out.resize(end == std::wstring::npos ? 0 : end + 1);
    return out;
}

std::wstring ErrorSuffix(DWORD error) { return error ? L"（错误 " + std::to_wstring(error) + L"）" : std::wstring(); }

}  // namespace plat
