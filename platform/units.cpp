#include "platform/units.h"

#include <windows.h>

#include "platform/handles.h"

namespace plat {
namespace {

int ScreenDpi(int index) {
    WindowDC screen(nullptr);
    int dpi = screen ? GetDeviceCaps(screen.get(), index) : 96;
    return dpi > 0 ? dpi : 96;
}

}  // namespace

int TwipsToPixelsX(int twips) { return MulDiv(twips, ScreenDpi(LOGPIXELSX), 1440); }
int TwipsToPixelsY(int twips) { return MulDiv(twips, ScreenDpi(LOGPIXELSY), 1440); }
int PointsToFontHeight(int tenthsOfPoint) { return -MulDiv(tenthsOfPoint, ScreenDpi(LOGPIXELSY), 720); }

}  // namespace plat
