// Functions of a library found at run time, for what not every system has
// or what is not wanted at the program's start.
#pragma once
#include <windows.h>

namespace plat {

// name in library, as the function type it is called through; null when
// the library or the function is missing.
template <typename Function>
Function LibraryFunction(HMODULE library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace plat
