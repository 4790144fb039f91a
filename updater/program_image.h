// Whether a downloaded file is a whole Windows program for this machine.
#pragma once
#include <windows.h>

#include <string>

namespace updater {

// The machine type this updater itself is built for: IMAGE_FILE_MACHINE_I386 in the
// 32-bit build, IMAGE_FILE_MACHINE_AMD64 in the 64-bit test build.
WORD OwnMachine();

enum class ImageCheck { Whole, NotProgram, WrongMachine, Truncated, Unreadable };

// Whether file is a whole Windows program for machine: "MZ", e_lfanew inside the file,
// "PE\0\0", that machine, a sane optional header (PE32 for i386, PE32+ for AMD64,
// SizeOfOptionalHeader inside the file), IMAGE_FILE_EXECUTABLE_IMAGE set, section
// table inside the file, every section's raw data (PointerToRawData + SizeOfRawData)
// inside the file (extra bytes after the last section are fine). Never reads past
// what it checked is there; overflow-safe arithmetic.
ImageCheck CheckProgramImage(HANDLE file, WORD machine);
// The same for the file of that name.
ImageCheck CheckProgramImage(const std::wstring& file, WORD machine);

}  // namespace updater
