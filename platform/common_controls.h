// The common controls (comctl32), loaded on the first call instead of at
// the program's start: a dialer that dials and hides at start-up never maps
// the library (its start-up work, and about 1.6 MB of memory).
#pragma once
#include <windows.h>

#include <commctrl.h>

namespace plat {

// InitCommonControlsEx for these ICC_ classes; false when the library or
// the call failed.
bool InitCommonControlClasses(DWORD classes);

// _TrackMouseEvent, for systems whose user32 has no TrackMouseEvent.
bool TrackMouseEventOfCommonControls(TRACKMOUSEEVENT* track);

}  // namespace plat
