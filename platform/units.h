// The forms are laid out in twips (1/1440 inch); windows want pixels.
#pragma once

namespace plat {

int TwipsToPixelsX(int twips);
int TwipsToPixelsY(int twips);
// Font height for CreateFont of a size in tenths of a point (105: 10.5 pt).
int PointsToFontHeight(int tenthsOfPoint);

}  // namespace plat
