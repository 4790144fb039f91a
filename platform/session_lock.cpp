#include "platform/session_lock.h"

namespace plat {

SessionLock::SessionLock(const wchar_t* name) : mutex_(CreateMutexW(nullptr, FALSE, name)) {
    const DWORD error = GetLastError();
    // Access denied: it exists, held by a copy running with other rights.
    first_ = !(error == ERROR_ALREADY_EXISTS || (!mutex_ && error == ERROR_ACCESS_DENIED));
}

}  // namespace plat
