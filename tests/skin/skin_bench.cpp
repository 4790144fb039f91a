// Prints what a skinned button's paint and fade step cost, and the heap
// allocations across many of them (malloc and friends linked with --wrap).
//   scripts/testbed.sh build/x64 /usr/lib/wine/wine64 build/x64/testbin/skin_bench.exe
#include <windows.h>

#include <cstdio>
#include <new>
#include <string>

#include "platform/controls.h"
#include "skin/MSkinButton.h"
#include "skin/gdi_objects.h"

static volatile long g_allocations = 0;
extern "C" {
void* __real_malloc(size_t);
void* __real_calloc(size_t, size_t);
void* __real_realloc(void*, size_t);
void* __wrap_malloc(size_t n) { return ++g_allocations, __real_malloc(n); }
void* __wrap_calloc(size_t n, size_t m) { return ++g_allocations, __real_calloc(n, m); }
void* __wrap_realloc(void* p, size_t n) { return ++g_allocations, __real_realloc(p, n); }
}
void* operator new(size_t n) {
    ++g_allocations;
    if (void* p = __real_malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}

// Runs call n times; prints microseconds, copies, blends and heap
// allocations per call; returns the allocations.
template <typename F>
long Measure(const char* what, int n, F&& call) {
    const skin::gdi::Counts before = skin::gdi::Snapshot();
    const long allocations = g_allocations;
    LARGE_INTEGER t0, t1, f;
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < n; ++i) call();
    QueryPerformanceCounter(&t1);
    QueryPerformanceFrequency(&f);
    const long allocated = g_allocations - allocations;
    const skin::gdi::Counts after = skin::gdi::Snapshot();
    std::printf("%-32s %5d calls %9.2f us/call  copies/call %.2f  blends/call %.2f  heap allocations %ld\n", what,
                n, double(t1.QuadPart - t0.QuadPart) * 1e6 / double(f.QuadPart) / n,
                double(after.blits - before.blits) / n, double(after.blends - before.blends) / n, allocated);
    return allocated;
}

int main() {
    HWND parent = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 80, 80, 300, 160, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND button = CreateWindowExW(0, L"Button", L"拨号", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20, 20, 75, 23,
                                  parent, nullptr, nullptr, nullptr);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(plat::DefaultFont()), FALSE);
    skin::SkinWindow(button);
    auto paint = [&] { RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); };
    auto fade = [&] { SendMessageW(button, WM_TIMER, 1, 0); };
    paint(), fade();  // first-use costs do not count
    long allocated = Measure("paint (WM_PAINT)", 5000, paint);
    allocated += Measure("fade step (WM_TIMER)", 5000, fade);
    Measure("counter check: 200-byte string", 1000, [] { std::wstring text(100, L'x'); });
    DestroyWindow(parent);
    std::printf("skinned button 75 x 23: paint and fade step allocate from the heap: %s; after close the engine "
                "is %s and owns %ld GDI objects\n", allocated == 0 ? "no" : "YES",
                skin::EngineReady() ? "ready" : "released", skin::gdi::Live());
}
