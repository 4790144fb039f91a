// Resource identifiers of the dialer (vornadel.rc).
#pragma once

// The window icon: 48, 32 and 16 pixels at 4, 8 and 32 bits per pixel.
#define IDI_VORNADEL 1
// The main window's banner, a JPEG picture (RCDATA).
#define IDR_BANNER 101
