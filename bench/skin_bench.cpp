// Prints what a skinned button's paint and fade step cost, and how often
// they allocate from the heap (malloc linked with --wrap).
//   scripts/testbed.sh build/x64 /usr/lib/wine/wine64 build/x64/testbin/skin_bench.exe
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/controls.h"
#include "skin/engine.h"

static volatile long g_allocations = 0;
extern "C" void* __real_malloc(size_t);
extern "C" void* __wrap_malloc(size_t n) { return ++g_allocations, __real_malloc(n); }

template <typename F>
void Measure(const char* what, F&& call) {
    const long allocations = g_allocations;
    LARGE_INTEGER t0, t1, f;
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < 5000; ++i) call();
    QueryPerformanceCounter(&t1);
    QueryPerformanceFrequency(&f);
    std::printf("%-32s %8.2f us/call, heap allocations in 5000 calls: %ld\n", what,
                double(t1.QuadPart - t0.QuadPart) * 1e6 / double(f.QuadPart) / 5000, g_allocations - allocations);
}

int main() {
    HWND parent = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 80, 80, 300, 160, 0, 0, 0, 0);
    HWND button = CreateWindowExW(0, L"Button", L"拨号", WS_CHILD | WS_VISIBLE, 20, 20, 75, 23, parent, 0, 0, 0);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(plat::DefaultFont()), FALSE);
    skin::SkinWindow(button);
    auto paint = [&] { RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); };
    paint();  // first-use costs do not count
    Measure("skinned 75 x 23 button, paint", paint);
    Measure("fade step (WM_TIMER)", [&] { SendMessageW(button, WM_TIMER, 1, 0); });
    Measure("counter check: a 200-byte string", [] { std::wstring text(100, L'x'); });
    DestroyWindow(parent);
}
