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

std::wstring ErrorSuffix(DWORD error) { return error ? L"（错误 " + DecimalText(error) + L"）" : std::wstring(); }

std::wstring DecimalText(unsigned long value) {
    wchar_t digits[20];
    wchar_t* first = digits + 20;
    do *--first = static_cast<wchar_t>(L'0' + value % 10); while (value /= 10);
    return std::wstring(first, digits + 20);
}

std::wstring HexText(unsigned long value, int digits) {
    std::wstring text(static_cast<size_t>(digits > 0 ? digits : 0), L'0');
    for (size_t i = text.size(); i-- > 0; value >>= 4) text[i] = L"0123456789ABCDEF"[value & 0xF];
    return text;
}

}  // namespace plat
