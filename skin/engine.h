// Engine-wide state and the window-property plumbing shared by the
// engine's source files.
#pragma once
#include <windows.h>

namespace skin::detail {

struct EngineState {
    bool ready = false;
    bool user32Tracking = false;
    HDC templateDC = nullptr;
    HBITMAP templateBitmap = nullptr;
    LONG buttons = 0;
    LONG forms = 0;
};
EngineState& Engine();

// Property names. Values are pointer-sized so handles survive a 64-bit build.
extern const wchar_t kProcAddr[];
extern const wchar_t kMouseFlag[];
extern const wchar_t kTimerId[];
extern const wchar_t kOldState[];
extern const wchar_t kAlphaLevel[];
extern const wchar_t* const kHdcProp[4];
extern const wchar_t* const kBmpProp[4];

inline INT_PTR ReadProp(HWND hwnd, const wchar_t* name) {
    return reinterpret_cast<INT_PTR>(GetPropW(hwnd, name));
}
inline void WriteProp(HWND hwnd, const wchar_t* name, INT_PTR value) {
    SetPropW(hwnd, name, reinterpret_cast<HANDLE>(value));
}
inline WNDPROC PreviousProc(HWND hwnd) { return reinterpret_cast<WNDPROC>(GetPropW(hwnd, kProcAddr)); }

// Installs proc as the window procedure and keeps the one it replaces in
// PROCADDR.
void Subclass(HWND hwnd, WNDPROC proc);
// Puts the procedure kept in PROCADDR back; the property is already gone.
void RestoreProc(HWND hwnd, WNDPROC previous);

// State n (0..3) of a property value; anything else reads as Normal.
inline int StateIndex(INT_PTR value) { return value >= 0 && value <= 3 ? static_cast<int>(value) : 0; }

// After each button or form detach: frees the template once nothing is
// attached any more.
void TeardownTest();

// "button" class windows that are push buttons (check boxes, radio buttons
// and group boxes share the class but keep their own look).
bool IsButtonClass(HWND hwnd, const wchar_t* lowerClass);
bool IsFormClass(const wchar_t* lowerClass);
bool IsActivationClass(const wchar_t* lowerClass);

}  // namespace skin::detail
