// One updater per user session: a second one would write the same download
// folder and replace the same dialer. A later start shows the running one and ends.
#pragma once
#include <windows.h>

#include "platform/session_lock.h"

namespace updater {

class SingleInstance : public plat::SessionLock {
public:
    // Takes the session's updater lock, or finds it taken.
    SingleInstance();
    // Brings the running updater's window (or the message box open over it)
    // to the front, restored from the taskbar. Waits a few seconds for an
    // updater that is still starting up.
    static void ShowRunningInstance();
};

}  // namespace updater
