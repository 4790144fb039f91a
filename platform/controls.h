// Child controls of the forms, placed in pixels relative to their container.
#pragma once
#include <windows.h>

namespace plat {

struct Placement {
    int left, top, width, height;  // twips, as the forms are designed
};

// Creates a child window at a twips placement, with the form's default font.
// Inside a form with a DpiLayout (platform/dpi.h) both follow the form's DPI.
HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle,
                   const Placement& twips, int id);

// A plain etched box that contains other controls (a titled group box cannot
// be a parent of edit controls). Notifications of its children reach the form.
HWND CreateFrame(HWND parent, const Placement& twips, int id);
extern const wchar_t kFrameClassName[];

// A control of a form by its id, placed on the form or inside one of its
// frames.
HWND FindControl(HWND form, int id);

// The default font of controls outside a form with a layout: at the system DPI.
HFONT DefaultFont();

}  // namespace plat
