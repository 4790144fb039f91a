// Start with Windows: the value "Quendrik" under the per-user Run key.
#pragma once
#include <string>

namespace dialer {

// Data of the Run value for a program in folder with the given file name
// (no extension): folder, "\" unless the folder is a drive root, name,
// ".Exe"; quoted when it holds a space.
std::wstring RunValueData(const std::wstring& folder, const std::wstring& baseName);

// Both return true when the registry holds what was asked afterwards; a value
// that is already absent counts as deleted.
bool WriteRunValue(const std::wstring& data);
bool DeleteRunValue();

}  // namespace dialer
