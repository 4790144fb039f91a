// The user's accessibility settings the programs' drawing follows. Each is
// asked for when needed; tests put their own answer in place (Wine always
// reports high contrast off).
#pragma once

namespace plat {

// SPI_GETHIGHCONTRAST: a high-contrast colour scheme is on.
bool HighContrastOn();
// SPI_GETCLIENTAREAANIMATION: animations inside windows are wanted (also
// when the system cannot say).
bool ClientAreaAnimationOn();

// Tests only: the answers come from these; null puts the system's back.
using SettingQuery = bool (*)();
void SetHighContrastQuery(SettingQuery query);
void SetClientAreaAnimationQuery(SettingQuery query);

}  // namespace plat
