#include "platform/system_settings.h"

#include <windows.h>

namespace plat {

namespace {

bool SystemHighContrast() {
    HIGHCONTRASTW hc{};
    hc.cbSize = sizeof(hc);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(hc), &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
}

bool SystemClientAreaAnimation() {
    BOOL on = TRUE;
    // Unknown before Windows Vista: animate, as then.
    if (!SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &on, 0)) return true;
    return on != FALSE;
}

SettingQuery g_highContrast = SystemHighContrast;
SettingQuery g_clientAreaAnimation = SystemClientAreaAnimation;

}  // namespace

bool HighContrastOn() { return g_highContrast(); }
bool ClientAreaAnimationOn() { return g_clientAreaAnimation(); }

void SetHighContrastQuery(SettingQuery query) { g_highContrast = query ? query : SystemHighContrast; }
void SetClientAreaAnimationQuery(SettingQuery query) {
    g_clientAreaAnimation = query ? query : SystemClientAreaAnimation;
}

}  // namespace plat
