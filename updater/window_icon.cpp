#include "updater/window_icon.h"

#include "updater/resource.h"

namespace updater {

void SetWindowIcons(HWND hwnd) {
    // Shared icons belong to the module; nothing to free.
    HINSTANCE module = GetModuleHandleW(nullptr);
    auto load = [module](int cx, int cy) {
        return static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(IDI_UPDATER), IMAGE_ICON, cx, cy, LR_SHARED));
    };
    if (HICON bigIcon = load(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)))
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    if (HICON smallIcon = load(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)))
        SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
}

}  // namespace updater
