// One dialer per user session: two would show two tray icons and run two
// re-dial timers. A later start hands over to the running one and ends.
#pragma once
#include <windows.h>

#include "platform/session_lock.h"

namespace dialer {

class SingleInstance : public plat::SessionLock {
public:
    // Takes the session's dialer lock, or finds it taken. The main window
    // holds the lock (Take) while it lives: a dialer whose main window has
    // gone (its About window still open) is no longer the one running.
    SingleInstance();
    // Brings the running dialer's main window to the front (out of the tray).
    // Waits a few seconds for a dialer that is still starting up.
    void ShowRunningInstance() const;
};

}  // namespace dialer
