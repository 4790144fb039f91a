#include "dialer/single_instance.h"

#include "dialer/main_window.h"
#include "platform/window.h"

namespace dialer {

namespace {
const wchar_t kLockName[] = L"Local\\Vornadel.Dialer";
constexpr DWORD kWaitForWindowMs = 5000;
}  // namespace

SingleInstance::SingleInstance() : SessionLock(kLockName) {}

void SingleInstance::ShowRunningInstance() const {
    const UINT message = ShowMainWindowMessage();
    const DWORD start = GetTickCount();
    do {
        bool found = false;
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, plat::kFormClassName, kMainCaption)) != nullptr;) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            // The running one may take the foreground from this process.
            AllowSetForegroundWindow(pid);
            PostMessageW(w, message, 0, 0);
            found = true;
        }
        if (found) return;
        Sleep(100);
    } while (GetTickCount() - start < kWaitForWindowMs);
}

}  // namespace dialer
