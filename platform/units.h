// The forms are laid out in twips (1/1440 inch); windows want pixels.
#pragma once

namespace plat {

int TwipsToPixelsX(int twips);
int TwipsToPixelsY(int twips);

}  // namespace plat
