#include "dialer/artwork.h"

#include "dialer/resource.h"
#include "platform/picture_box.h"

namespace dialer {

plat::UniqueBitmap LoadBanner() { return plat::LoadPictureResource(GetModuleHandleW(nullptr), IDR_BANNER); }

plat::UniqueBitmap LoadLargeBanner() {
    return plat::LoadPictureResource(GetModuleHandleW(nullptr), IDR_BANNER_LARGE);
}

}  // namespace dialer
