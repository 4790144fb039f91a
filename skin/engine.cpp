// Engine state, the entry point and window recognition.
#include "skin/engine.h"

#include <cwchar>

#include "platform/handles.h"
#include "platform/system_settings.h"

namespace skin {

namespace detail {

EngineState& Engine() {
    static EngineState state;
    return state;
}

const wchar_t kProcAddr[] = L"PROCADDR";
const wchar_t kMouseFlag[] = L"MOUSEFLAG";
const wchar_t kTimerId[] = L"TIMERID";
const wchar_t kOldState[] = L"OLDSTATE";
const wchar_t kAlphaLevel[] = L"ALPHALEVEL";
const wchar_t* const kHdcProp[4] = {L"HDC0", L"HDC1", L"HDC2", L"HDC3"};
const wchar_t* const kBmpProp[4] = {L"BMP0", L"BMP1", L"BMP2", L"BMP3"};

void Subclass(HWND hwnd, WNDPROC proc) {
    LONG_PTR previous = SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    WriteProp(hwnd, kProcAddr, previous);
}

void RestoreProc(HWND hwnd, WNDPROC previous) {
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
}

WNDPROC EnterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LONG (*detach)(HWND), LRESULT& result) {
    result = 0;
    if (!hwnd) return nullptr;
    WNDPROC previous = PreviousProc(hwnd);
    if (!previous) {
        result = DefWindowProcW(hwnd, msg, wParam, lParam);
        return nullptr;
    }
    if (msg == WM_DESTROY) {
        detach(hwnd);
        return nullptr;
    }
    return previous;
}

void TeardownTest() {
    EngineState& e = Engine();
    if (e.buttons <= 0 && e.forms <= 0) {
        DestroySkinTemplate();
        e.ready = false;
    }
}

namespace {

bool Is(const wchar_t* a, const wchar_t* b) { return wcscmp(a, b) == 0; }

}  // namespace

void LowerClassName(HWND hwnd, wchar_t (&buffer)[kClassBuffer + 1]) {
    buffer[0] = L'\0';
    int n = hwnd ? GetClassNameW(hwnd, buffer, kClassBuffer) : 0;
    if (n <= 0) {
        buffer[0] = L'\0';
        return;
    }
    buffer[n] = L'\0';
    CharLowerBuffW(buffer, static_cast<DWORD>(n));
}

bool IsButtonClass(HWND hwnd, const wchar_t* lowerClass) {
    if (Is(lowerClass, L"thundercommandbutton") || Is(lowerClass, L"thunderrt6commandbutton")) return true;
    if (!Is(lowerClass, L"button")) return false;
    LONG type = GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) return true;
    // A button we skinned already carries the owner-draw type.
    return type == BS_OWNERDRAW && GetPropW(hwnd, kProcAddr) != nullptr;
}

bool IsFormClass(const wchar_t* c) {
    return Is(c, L"#32770") || Is(c, L"thunderformdc") || Is(c, L"thunderrt6formdc") || Is(c, L"form");
}

bool IsActivationClass(const wchar_t* c) { return IsFormClass(c) || Is(c, L"newhelpclass"); }

}  // namespace detail

using namespace detail;

bool EngineReady() { return Engine().ready; }
bool UseUser32Tracking() { return Engine().user32Tracking; }
HDC SkinTemplateDC() { return Engine().templateDC; }
LONG SkinnedButtonCount() { return Engine().buttons; }
LONG HookedFormCount() { return Engine().forms; }

LONG SkinWindow(HWND hwnd) {
    // A high-contrast scheme gets the system's own drawing: a form is only
    // watched, so that its skin comes back when the scheme goes.
    if (plat::HighContrastOn()) {
        wchar_t cls[kClassBuffer + 1];
        LowerClassName(hwnd, cls);
        return IsFormClass(cls) ? AttachForm(hwnd) : 0;
    }
    EngineState& e = Engine();
    if (!e.ready) {
        e.ready = true;
        e.user32Tracking = ExportExists(L"User32", "TrackMouseEvent");
        BuildSkinTemplate();
    }
    wchar_t cls[kClassBuffer + 1];
    LowerClassName(hwnd, cls);
    if (IsButtonClass(hwnd, cls)) return AttachButton(hwnd);
    if (IsFormClass(cls)) {
        // Children first: EnumChildWindows reaches buttons inside frames too.
        EnumChildWindows(hwnd, EnumChildProc, 0);
        return AttachForm(hwnd);
    }
    return 0;
}

BOOL CALLBACK EnumChildProc(HWND hwnd, LPARAM) {
    wchar_t cls[kClassBuffer + 1];
    LowerClassName(hwnd, cls);
    if (IsButtonClass(hwnd, cls))
        AttachButton(hwnd);
    else
        AttachFlatBorder(hwnd);
    return TRUE;
}

std::wstring WindowClassName(HWND hwnd) {
    wchar_t buffer[kClassBuffer + 1] = {};
    int n = hwnd ? GetClassNameW(hwnd, buffer, kClassBuffer) : 0;
    if (n <= 0) return std::wstring();
    return std::wstring(buffer, static_cast<size_t>(n));
}

WindowBox GetWindowBox(HWND hwnd) {
    RECT r{};
    if (!GetWindowRect(hwnd, &r)) r = RECT{};
    return WindowBox{r.left, r.top, r.right, r.bottom, r.right - r.left, r.bottom - r.top};
}

bool ExportExists(const wchar_t* library, const char* function) {
    if (!library || !function) return false;
    HMODULE module = GetModuleHandleW(library);
    plat::UniqueModule loadedHere;
    if (!module) {
        loadedHere.reset(LoadLibraryW(library));
        module = loadedHere.get();
    }
    if (!module) return false;
    return GetProcAddress(module, function) != nullptr;
}

}  // namespace skin
