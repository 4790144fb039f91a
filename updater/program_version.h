// The file version a program carries in its version resource.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace updater {

// VS_FIXEDFILEINFO's file version, the major number in the top 16 bits, so
// that versions compare as numbers. None when the file has no version
// resource or cannot be read.
std::optional<uint64_t> ReadFileVersion(const std::wstring& file);

// "1.0.0.2"
std::wstring VersionText(uint64_t version);

}  // namespace updater
