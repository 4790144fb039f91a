// Button skin engine: takes over the push buttons of a window by subclassing,
// draws them from a small built-in bitmap in four states with alpha-blended
// fades, and gives the window's other children a flat one-pixel border. It
// spreads by itself to message boxes and further forms activated next to a
// skinned one, and gives every window back when it is destroyed.
#pragma once
#include <windows.h>

namespace skin {

// Skins a form's children and the form (or one button). 1 when the window
// was attached now, 0 otherwise; callers ignore it.
LONG SkinWindow(HWND hwnd);

}  // namespace skin
