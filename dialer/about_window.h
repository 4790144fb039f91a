// abot: the About window. One instance, modeless, without an owner.
#pragma once
#include <windows.h>

namespace dialer {

// Opens the About window, or brings the open one forward.
void ShowAboutWindow();
// The open About window, or null.
HWND AboutWindowHandle();

}  // namespace dialer
