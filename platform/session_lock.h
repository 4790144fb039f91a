// One copy of a program per user session: the first start takes a named
// lock of the log-on session, a later one finds it taken and hands over.
#pragma once
#include <windows.h>

#include <utility>

#include "platform/handles.h"

namespace plat {

class SessionLock {
public:
    // name: a Local\ name, so that another user on the same machine has their own.
    explicit SessionLock(const wchar_t* name);
    bool IsFirst() const { return first_; }
    // The lock itself, for whatever is to hold it from now on.
    UniqueHandle Take() { return std::move(mutex_); }

private:
    UniqueHandle mutex_;
    bool first_ = true;
};

}  // namespace plat
