// A picture box: shows one picture at its own size (in pixels at 96 DPI,
// scaled with the form's DPI) from its inside's top-left corner on the window
// background, cut off at its edges, and takes the focus like the form
// designer's picture box (a tab stop, focus on click), showing a focus
// rectangle while it has it.
#pragma once
#include <windows.h>

#include <cstddef>

#include "platform/controls.h"
#include "platform/handles.h"

namespace plat {

extern const wchar_t kPictureBoxClassName[];

// Creates the box at a twips placement. style adds to WS_CHILD | WS_VISIBLE |
// WS_TABSTOP; exStyle picks the border (WS_EX_CLIENTEDGE: sunken).
HWND CreatePictureBox(HWND parent, const Placement& twips, DWORD exStyle, int id);

// Hands the picture to the box, which owns it from then on; an empty one
// clears the box.
void SetPicture(HWND box, UniqueBitmap picture);
// Gives the box a way to make its picture when it is first needed (painted
// or asked for), so a box that is never seen never decodes anything.
using PictureLoader = UniqueBitmap (*)();
void SetPictureLoader(HWND box, PictureLoader loader);
// A rendering of the same picture at twice its size, drawn (downscaled) in
// its place above 96 DPI instead of enlarging the picture itself.
void SetLargePictureLoader(HWND box, PictureLoader loader);
// The box's picture (still owned by the box), or null.
HBITMAP PictureOf(HWND box);

// Decodes a picture file held in memory (JPEG, BMP, GIF, as the system's
// picture loader reads them) into a device-independent bitmap. Empty when
// the bytes are no readable picture.
UniqueBitmap DecodePicture(const void* data, size_t size);
// The same for a picture stored as an RCDATA resource of a module.
UniqueBitmap LoadPictureResource(HMODULE module, int id);
// A picture resampled to another size, each target pixel the average of the
// source area it covers (sharp when shrinking). Empty on failure.
UniqueBitmap ResamplePicture(HBITMAP source, int width, int height);

}  // namespace plat
