// Resource identifiers of the dialer (vornadel.rc).
#pragma once

// The window icon: 48, 32 and 16 pixels at 4, 8 and 32 bits per pixel, and
// 64, 40, 24 and 20 pixels at 32 bits for higher DPIs.
#define IDI_VORNADEL 1
// The main window's banner, a JPEG picture (RCDATA).
#define IDR_BANNER 101
// The banner at twice its size (616 x 198), shown downscaled above 96 DPI.
#define IDR_BANNER_LARGE 102
