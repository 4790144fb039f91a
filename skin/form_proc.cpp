// The procedure of skinned forms: it spreads the skin to the windows that
// become active next to them.
#include "platform/system_settings.h"
#include "skin/engine.h"

namespace skin {

using namespace detail;

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    WNDPROC previous = EnterProc(hwnd, msg, wParam, lParam, DetachForm, result);
    if (!previous) return result;
    // Switched before the form's own handler repaints with the new scheme.
    if (msg == WM_SETTINGCHANGE) FollowContrastScheme(hwnd);
    if (msg == WM_ACTIVATE && !plat::HighContrastOn()) {
        // The window on the other side of the activation change: a message
        // box opening over this one, or a further form.
        HWND other = reinterpret_cast<HWND>(lParam);
        if (other && other != hwnd) {
            wchar_t cls[kClassBuffer + 1];
            LowerClassName(other, cls);
            if (IsActivationClass(cls)) SkinWindow(other);
        }
    }
    return CallWindowProcW(previous, hwnd, msg, wParam, lParam);
}

}  // namespace skin
