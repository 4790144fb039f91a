// The dialer's embedded artwork: the window icon and the banner picture.
#pragma once
#include <windows.h>

#include "platform/handles.h"

namespace dialer {

// The window icon in the sizes of a title bar and Alt+Tab, held for as long
// as the window that shows them.
class WindowIcons {
public:
    // Loads the icons (once) and gives them to the window.
    void Apply(HWND hwnd);

private:
    plat::UniqueIcon big_;
    plat::UniqueIcon small_;
};

// The main window's banner, decoded from the embedded JPEG; empty when the
// resource is missing or unreadable.
plat::UniqueBitmap LoadBanner();

}  // namespace dialer
