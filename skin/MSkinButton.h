// Button skin engine: takes over the push buttons of a window by subclassing,
// draws them from a small built-in bitmap in four states with alpha-blended
// fades, and gives the window's other children a flat one-pixel border.
//
// The programs only call SkinWindow; the rest is the engine's own machinery,
// declared here so that it can be driven and inspected piece by piece.
#pragma once
#include <windows.h>

#include <string>

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

// Entry of the engine: skins a form's children and the form (or one
// button). 1 when the window was attached now, 0 otherwise; callers ignore it.
LONG SkinWindow(HWND hwnd);

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
