// One updater per user session: a second one would write the same download
// folder and replace the same dialer. A later start shows the running one and ends.
#pragma once
#include <windows.h>

#include "platform/handles.h"

namespace updater {

class SingleInstance {
public:
    // Takes the session's updater mutex, or finds it taken.
    SingleInstance();
    bool IsFirst() const { return first_; }
    // Brings the running updater's window (or the message box open over it)
    // to the front, restored from the taskbar. Waits a few seconds for an
    // updater that is still starting up.
    static void ShowRunningInstance();

private:
    plat::UniqueHandle mutex_;
    bool first_ = true;
};

}  // namespace updater
