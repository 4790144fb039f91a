#include "skin/MSkinButton.h"

namespace skin {

LONG SkinWindow(HWND) { return 0; }

}  // namespace skin
