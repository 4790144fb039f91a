// One dialer per user session: two would show two tray icons and run two
// re-dial timers. A later start hands over to the running one and ends.
#pragma once
#include <windows.h>

#include <utility>

#include "platform/handles.h"

namespace dialer {

class SingleInstance {
public:
    // Takes the session's dialer mutex, or finds it taken.
    SingleInstance();
    bool IsFirst() const { return first_; }
    // Brings the running dialer's main window to the front (out of the tray).
    // Waits a few seconds for a dialer that is still starting up.
    void ShowRunningInstance() const;
    // The lock itself, for the main window to hold while it lives: a dialer
    // whose main window has gone (its About window still open) is no longer
    // the one running.
    plat::UniqueHandle TakeLock() { return std::move(mutex_); }

private:
    plat::UniqueHandle mutex_;
    bool first_ = true;
};

}  // namespace dialer
