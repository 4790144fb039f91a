#include "updater/program_image.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/handles.h"

namespace updater {

namespace {

// Real programs keep their headers in the first few kilobytes; a header
// offset far beyond that is not a cut-off program but no program at all.
constexpr uint64_t kMaxHeaderOffset = 1024 * 1024;
// The Windows loader refuses more sections than this.
constexpr WORD kMaxSections = 96;

// Reads exactly size bytes at offset; false on any shortfall.
bool ReadAt(HANDLE file, uint64_t offset, void* buffer, DWORD size) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return false;
    DWORD got = 0;
    return ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

// Whether [offset, offset + size) lies inside a file of fileSize bytes.
bool Inside(uint64_t offset, uint64_t size, uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

}  // namespace

WORD OwnMachine() {
#if defined(_M_X64) || defined(__x86_64__)
    return IMAGE_FILE_MACHINE_AMD64;
#else
    return IMAGE_FILE_MACHINE_I386;
#endif
}

ImageCheck CheckProgramImage(const std::wstring& file, WORD machine) {
    plat::UniqueFile in(
        CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return in ? CheckProgramImage(in.get(), machine) : ImageCheck::Unreadable;
}

ImageCheck CheckProgramImage(HANDLE file, WORD machine) {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file, &length) || length.QuadPart < 0) return ImageCheck::Unreadable;
    const uint64_t fileSize = static_cast<uint64_t>(length.QuadPart);

    char mz[2];
    if (fileSize < sizeof(mz)) return ImageCheck::NotProgram;
    if (!ReadAt(file, 0, mz, sizeof(mz))) return ImageCheck::Unreadable;
    if (mz[0] != 'M' || mz[1] != 'Z') return ImageCheck::NotProgram;
    IMAGE_DOS_HEADER dos;
    if (!Inside(0, sizeof(dos), fileSize)) return ImageCheck::Truncated;
    if (!ReadAt(file, 0, &dos, sizeof(dos))) return ImageCheck::Unreadable;
    if (dos.e_lfanew < 0 || static_cast<uint64_t>(dos.e_lfanew) > kMaxHeaderOffset) return ImageCheck::NotProgram;

    const uint64_t ntOffset = static_cast<uint64_t>(dos.e_lfanew);
    struct {
        DWORD signature;
        IMAGE_FILE_HEADER header;
    } nt;
    static_assert(sizeof(nt) == 24, "PE signature and file header are packed");
    if (!Inside(ntOffset, sizeof(nt), fileSize)) return ImageCheck::Truncated;
    if (!ReadAt(file, ntOffset, &nt, sizeof(nt))) return ImageCheck::Unreadable;
    if (nt.signature != IMAGE_NT_SIGNATURE) return ImageCheck::NotProgram;
    if (nt.header.Machine != machine) return ImageCheck::WrongMachine;
    if (!(nt.header.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) || (nt.header.Characteristics & IMAGE_FILE_DLL))
        return ImageCheck::NotProgram;

    // The optional header up to its data directories; its magic must fit the machine.
    const bool wide = machine == IMAGE_FILE_MACHINE_AMD64;
    const WORD wantMagic = wide ? IMAGE_NT_OPTIONAL_HDR64_MAGIC : IMAGE_NT_OPTIONAL_HDR32_MAGIC;
    const size_t fixedPart = wide ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                  : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
    const size_t directoryCountAt = wide ? offsetof(IMAGE_OPTIONAL_HEADER64, NumberOfRvaAndSizes)
                                         : offsetof(IMAGE_OPTIONAL_HEADER32, NumberOfRvaAndSizes);
    const size_t headersSizeAt = wide ? offsetof(IMAGE_OPTIONAL_HEADER64, SizeOfHeaders)
                                      : offsetof(IMAGE_OPTIONAL_HEADER32, SizeOfHeaders);
    const uint64_t optionalOffset = ntOffset + sizeof(nt);
    const WORD optionalSize = nt.header.SizeOfOptionalHeader;
    if (optionalSize < fixedPart) return ImageCheck::NotProgram;
    if (!Inside(optionalOffset, optionalSize, fileSize)) return ImageCheck::Truncated;
    std::vector<unsigned char> optional(fixedPart);
    if (!ReadAt(file, optionalOffset, optional.data(), static_cast<DWORD>(fixedPart))) return ImageCheck::Unreadable;
    WORD magic;
    DWORD directoryCount, headersSize;
    std::memcpy(&magic, optional.data(), sizeof(magic));
    std::memcpy(&directoryCount, optional.data() + directoryCountAt, sizeof(directoryCount));
    std::memcpy(&headersSize, optional.data() + headersSizeAt, sizeof(headersSize));
    if (magic != wantMagic || directoryCount > IMAGE_NUMBEROF_DIRECTORY_ENTRIES ||
        fixedPart + uint64_t{directoryCount} * sizeof(IMAGE_DATA_DIRECTORY) > optionalSize)
        return ImageCheck::NotProgram;

    const WORD sectionCount = nt.header.NumberOfSections;
    if (sectionCount == 0 || sectionCount > kMaxSections) return ImageCheck::NotProgram;
    const uint64_t tableOffset = optionalOffset + optionalSize;
    const uint64_t tableSize = uint64_t{sectionCount} * sizeof(IMAGE_SECTION_HEADER);
    if (!Inside(tableOffset, tableSize, fileSize) || headersSize > fileSize) return ImageCheck::Truncated;
    std::vector<IMAGE_SECTION_HEADER> sections(sectionCount);
    if (!ReadAt(file, tableOffset, sections.data(), static_cast<DWORD>(tableSize))) return ImageCheck::Unreadable;
    for (const IMAGE_SECTION_HEADER& section : sections) {
        if (section.SizeOfRawData != 0 && !Inside(section.PointerToRawData, section.SizeOfRawData, fileSize))
            return ImageCheck::Truncated;
    }
    return ImageCheck::Whole;
}

}  // namespace updater
