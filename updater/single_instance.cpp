#include "updater/single_instance.h"

#include "platform/window.h"
#include "updater/download_window.h"

namespace updater {

namespace {
const wchar_t kLockName[] = L"Local\\Vornadel.Updater";
constexpr DWORD kWaitForWindowMs = 5000;
}  // namespace

SingleInstance::SingleInstance() : SessionLock(kLockName) {}

void SingleInstance::ShowRunningInstance() {
    const DWORD self = GetCurrentProcessId(), start = GetTickCount();
    do {
        // The download window; the install window shares its caption but is never shown.
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, plat::kFormClassName, kUpdaterCaption)) != nullptr;) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == self || !IsWindowVisible(w)) continue;
            if (IsIconic(w)) ShowWindowAsync(w, SW_RESTORE);
            SetForegroundWindow(GetLastActivePopup(w));
            return;
        }
        Sleep(100);
    } while (GetTickCount() - start < kWaitForWindowMs);
}

}  // namespace updater
