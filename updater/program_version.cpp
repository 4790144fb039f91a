#include "updater/program_version.h"

#include <vector>

#include "platform/errors.h"

namespace updater {

std::optional<uint64_t> ReadFileVersion(const std::wstring& file) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != VS_FFI_SIGNATURE)
        return std::nullopt;
    return uint64_t{fixed->dwFileVersionMS} << 32 | fixed->dwFileVersionLS;
}

std::wstring VersionText(uint64_t version) {
    std::wstring text;
    for (int shift = 48; shift >= 0; shift -= 16) {
        text += plat::DecimalText(static_cast<unsigned long>((version >> shift) & 0xFFFF));
        if (shift) text += L'.';
    }
    return text;
}

}  // namespace updater
