// The skin engine's machinery, shared by its source files and reached by
// its tests; the programs use only skin/skin.h.
#pragma once
#include <windows.h>

#include <string>

#include "skin/skin.h"

namespace skin {

// Held in the OLDSTATE property of a skinned button.
enum ButtonState : LONG { Normal = 0, Hot = 1, Pressed = 2, Disabled = 3 };

// Window rectangle in screen coordinates, with its size.
struct WindowBox {
    LONG Left;
    LONG Top;
    LONG Right;
    LONG Bottom;
    LONG Width;
    LONG Height;
};

// Geometry of the skin template: four bands of 21 rows, one per state.
constexpr int kTemplateWidth = 9;
constexpr int kTemplateHeight = 84;
constexpr int kBandHeight = 21;

// Fade timing.
constexpr UINT_PTR kFadeTimerId = 1;
constexpr UINT kFadeInterval = 15;  // ms
constexpr int kFadeStep = 3;
constexpr int kFadeStartHot = 70;
constexpr int kFadeStartPressedByMouse = 10;
constexpr int kFadeStartPressedByKey = 50;
constexpr int kFadeStartNormal = 0;

// Flat border colours of sunken-edge children.
constexpr COLORREF kFlatBorderEnabled = 0xD5A554;
constexpr COLORREF kFlatBorderDisabled = 0xCCCCCC;

// Engine state, one set per process.
bool EngineReady();
bool UseUser32Tracking();
HDC SkinTemplateDC();
LONG SkinnedButtonCount();
LONG HookedFormCount();

// Take over / give back one window. 1 if done, 0 if it was already attached
// (attach) or not attached (detach).
LONG AttachButton(HWND hwnd);
LONG DetachButton(HWND hwnd);
LONG AttachForm(HWND hwnd);
LONG DetachForm(HWND hwnd);
LONG AttachFlatBorder(HWND hwnd);
LONG DetachFlatBorder(HWND hwnd);

// Window procedures installed on attached windows.
LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK FlatBorderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// After a change of the user's settings: a form's children plain while a
// high-contrast scheme is on, skinned again when it is off.
void FollowContrastScheme(HWND form);

// EnumChildWindows callback of SkinWindow; always goes on (1).
BOOL CALLBACK EnumChildProc(HWND hwnd, LPARAM lParam);

// Draws the four state images of an attached button into HDC0..HDC3.
void RenderStateImages(HWND hwnd);

// Fade timer of a button: the id stored, or 0 when one already ran /
// nonzero when a running timer was stopped.
UINT_PTR StartFadeTimer(HWND hwnd);
UINT_PTR StopFadeTimer(HWND hwnd);
// Asks for one WM_MOUSELEAVE when the pointer leaves the button.
void TrackMouseLeave(HWND hwnd);

// Class name as the system reports it; empty when it cannot be read.
std::wstring WindowClassName(HWND hwnd);
WindowBox GetWindowBox(HWND hwnd);
// Whether the library exports the function; a library loaded only for the
// question is released again.
bool ExportExists(const wchar_t* library, const char* function);

std::wstring WindowCaption(HWND hwnd);
// Boxes are left, top, width, height.
int DrawCaption(HDC dc, const wchar_t* text, int left, int top, int width, int height, UINT format);
BOOL DrawFocusBox(HDC dc, int left, int top, int width, int height);
int FrameBox(HDC dc, int left, int top, int width, int height, COLORREF colour);

// The shared 9 x 84 template in SkinTemplateDC, and its release.
void BuildSkinTemplate();
void DestroySkinTemplate();

}  // namespace skin


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

// The start all three engine procedures share. Null when the message is
// already answered in `result`: no window; not attached (the default
// procedure); WM_DESTROY (detached, and not passed on). Otherwise the
// previous procedure to pass the message to.
WNDPROC EnterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LONG (*detach)(HWND), LRESULT& result);

// State n (0..3) of a property value; anything else reads as Normal.
inline int StateIndex(INT_PTR value) { return value >= 0 && value <= 3 ? static_cast<int>(value) : 0; }

// After each button or form detach: frees the template once nothing is
// attached any more.
void TeardownTest();

// "button" class windows that are push buttons (check boxes, radio buttons
// and group boxes share the class but keep their own look).
// Class name lower-cased into a fixed buffer: the window procedures must
// not allocate. Empty when the name cannot be read.
constexpr int kClassBuffer = 255;
void LowerClassName(HWND hwnd, wchar_t (&buffer)[kClassBuffer + 1]);

bool IsButtonClass(HWND hwnd, const wchar_t* lowerClass);
bool IsFormClass(const wchar_t* lowerClass);
bool IsActivationClass(const wchar_t* lowerClass);

}  // namespace skin::detail
