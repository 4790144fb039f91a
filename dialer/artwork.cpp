#include "dialer/artwork.h"

#include "dialer/resource.h"
#include "platform/picture_box.h"

namespace dialer {

namespace {

HICON LoadWindowIcon(int cx, int cy) {
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_VORNADEL), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR));
}

}  // namespace

void WindowIcons::Apply(HWND hwnd) {
    if (!big_) big_.reset(LoadWindowIcon(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)));
    if (!small_) small_.reset(LoadWindowIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)));
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_.get()));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_.get()));
}

plat::UniqueBitmap LoadBanner() { return plat::LoadPictureResource(GetModuleHandleW(nullptr), IDR_BANNER); }

}  // namespace dialer
