// The program icon on the updater's windows, when the build carries one.
#pragma once
#include <windows.h>

namespace updater {

void SetWindowIcons(HWND hwnd);

}  // namespace updater
