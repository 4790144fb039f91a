// The dialer's embedded banner picture.
#pragma once
#include <windows.h>

#include "platform/handles.h"

namespace dialer {

// The main window's banner, decoded from the embedded JPEG; empty when the
// resource is missing or unreadable.
plat::UniqueBitmap LoadBanner();
// The banner at twice its size, for higher DPIs.
plat::UniqueBitmap LoadLargeBanner();

}  // namespace dialer
