#include "updater/program_image.h"

namespace updater {

WORD OwnMachine() {
#if defined(_M_X64) || defined(__x86_64__)
    return IMAGE_FILE_MACHINE_AMD64;
#else
    return IMAGE_FILE_MACHINE_I386;
#endif
}

ImageCheck CheckProgramImage(const std::wstring&, WORD) { return ImageCheck::Unreadable; }

}  // namespace updater
