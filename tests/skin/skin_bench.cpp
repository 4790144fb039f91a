// Prints what a skinned button costs: one paint, one fade step, one
// re-render of the four images; and counts heap allocations around them.
//   scripts/testbed.sh build/x64 /usr/lib/wine/wine64 build/x64/testbin/skin_bench.exe
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "platform/controls.h"
#include "platform/window.h"
#include "skin/MSkinButton.h"
#include "skin/gdi_objects.h"

// Every C++ allocation of the process, and the C runtime's (linked with
// --wrap), counted.
namespace {
volatile long g_allocations = 0;
}

extern "C" {
void* __real_malloc(size_t);
void* __real_calloc(size_t, size_t);
void* __real_realloc(void*, size_t);
void* __wrap_malloc(size_t n) {
    ++g_allocations;
    return __real_malloc(n);
}
void* __wrap_calloc(size_t n, size_t m) {
    ++g_allocations;
    return __real_calloc(n, m);
}
void* __wrap_realloc(void* p, size_t n) {
    ++g_allocations;
    return __real_realloc(p, n);
}
}

void* operator new(size_t n) {
    ++g_allocations;
    if (void* p = __real_malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) { return operator new(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    ++g_allocations;
    return __real_malloc(n ? n : 1);
}
void* operator new[](size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }

namespace {

class BenchForm : public plat::Window {
public:
    BenchForm() {
        CreateForm(L"skin bench", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 0, 80, 80, 300, 160);
        ShowWindow(hwnd(), SW_SHOW);
    }
};

void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(1);
    } while (GetTickCount() - start < ms);
}

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

struct Result {
    double microseconds;
    long allocations;
    double blits;
    double blends;
};

template <typename F>
Result Measure(int n, F&& call) {
    const skin::gdi::Counts before = skin::gdi::Snapshot();
    const long allocBefore = g_allocations;
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < n; ++i) call();
    QueryPerformanceCounter(&t1);
    const long allocAfter = g_allocations;
    const skin::gdi::Counts after = skin::gdi::Snapshot();
    return {Seconds(t0, t1) * 1e6 / n, allocAfter - allocBefore, double(after.blits - before.blits) / n,
            double(after.blends - before.blends) / n};
}

void Print(const char* what, int n, const Result& r) {
    std::printf("%-34s %8d calls  %9.2f us/call  copies/call %.2f  blends/call %.2f  heap allocations %ld\n", what,
                n, r.microseconds, r.blits, r.blends, r.allocations);
}

}  // namespace

int main() {
    plat::SetQuitWhenLastFormCloses(false);
    BenchForm form;
    HWND button = CreateWindowExW(0, L"Button", L"拨号", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20, 20, 75, 23,
                                  form.hwnd(), reinterpret_cast<HMENU>(INT_PTR{1}), GetModuleHandleW(nullptr),
                                  nullptr);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(plat::DefaultFont()), FALSE);
    skin::SkinWindow(form.hwnd());
    Pump(200);

    const int n = 5000;
    // Warm up once so first-use costs do not count.
    InvalidateRect(button, nullptr, FALSE);
    UpdateWindow(button);
    SendMessageW(button, WM_TIMER, 1, 0);

    Result paint = Measure(n, [&] {
        InvalidateRect(button, nullptr, FALSE);
        UpdateWindow(button);
    });
    Result fade = Measure(n, [&] { SendMessageW(button, WM_TIMER, 1, 0); });
    Result render = Measure(2000, [&] { skin::RenderStateImages(button); });
    Result prop = Measure(n, [&] { GetPropW(button, L"OLDSTATE"); });
    // The counter itself: one allocation per call expected here.
    Result control = Measure(1000, [&] {
        std::wstring text(100, L'x');
        (void)text;
    });

    std::printf("skinned button 75 x 23, %s\n", skin::EngineReady() ? "engine ready" : "engine NOT ready");
    Print("paint (WM_PAINT, invalidate+update)", n, paint);
    Print("fade step (WM_TIMER)", n, fade);
    Print("re-render of the four images", 2000, render);
    // Per-window state lives in properties; under Wine each read is a
    // round trip to the wine server, which dominates the figures above.
    Print("one property read (GetPropW)", n, prop);
    Print("counter check: 200-byte string", 1000, control);
    std::printf("paint and fade step allocate from the heap: %s\n",
                paint.allocations == 0 && fade.allocations == 0 ? "no" : "YES");

    KillTimer(button, 1);
    DestroyWindow(form.hwnd());
    std::printf("after close: engine %s, GDI objects still owned by the engine %ld\n",
                skin::EngineReady() ? "ready" : "released", skin::gdi::Live());
    return 0;
}
