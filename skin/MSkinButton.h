// Button skin engine: takes over the push buttons of a window by subclassing.
#pragma once
#include <windows.h>

namespace skin {

// Entry of the engine: skins a form's buttons (or one button). 1 when the
// window was attached now, 0 otherwise; callers ignore it.
LONG SkinWindow(HWND hwnd);

}  // namespace skin
