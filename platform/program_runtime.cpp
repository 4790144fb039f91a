// Linked into each shipping program (not into the tests): the pieces of the
// C++ runtime that the program code calls, without what a static libstdc++
// brings along with them (the exception machinery and its unwind tables,
// the threads library, the COW-string copies behind std::logic_error and the
// demangler of the verbose terminate handler), about 300 KB per program.
//
// The program code is built without exceptions and nothing in it throws or
// catches one, so an allocation that fails, or a length or range check of
// std::wstring and std::vector that fails, ends the program at once, as an
// exception crossing a window procedure did before.
#include <windows.h>

#include <cstdarg>
#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void Fail() { std::abort(); }

void* Allocate(std::size_t size) noexcept { return std::malloc(size ? size : 1); }

}  // namespace

// operator delete is libstdc++'s (free), which matches.
void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    Fail();
}
void* operator new[](std::size_t size) {
    if (void* p = Allocate(size)) return p;
    Fail();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }

// Every entry of libstdc++'s functexcept.o, so that none of it is linked.
namespace std {
void __throw_bad_exception() { Fail(); }
void __throw_bad_alloc() { Fail(); }
void __throw_bad_array_new_length() { Fail(); }
void __throw_bad_cast() { Fail(); }
void __throw_bad_typeid() { Fail(); }
void __throw_logic_error(const char*) { Fail(); }
void __throw_domain_error(const char*) { Fail(); }
void __throw_invalid_argument(const char*) { Fail(); }
void __throw_length_error(const char*) { Fail(); }
void __throw_out_of_range(const char*) { Fail(); }
void __throw_out_of_range_fmt(const char*, ...) { Fail(); }
void __throw_runtime_error(const char*) { Fail(); }
void __throw_range_error(const char*) { Fail(); }
void __throw_overflow_error(const char*) { Fail(); }
void __throw_underflow_error(const char*) { Fail(); }
}  // namespace std

// Should anything still bring std::terminate in: no message to a console the
// program does not have, and no demangler.
namespace __gnu_cxx {
void __verbose_terminate_handler() { Fail(); }
}  // namespace __gnu_cxx

// Function-local statics: byte 0 of the guard says "initialised" (the
// compiler's inline check reads it), byte 1 that a thread is initialising.
// A second thread waits for the first; the threads library is not needed.
extern "C" {
int __cxa_guard_acquire(void* guard) {
    unsigned char* g = static_cast<unsigned char*>(guard);
    for (;;) {
        if (__atomic_load_n(&g[0], __ATOMIC_ACQUIRE)) return 0;
        unsigned char idle = 0;
        if (__atomic_compare_exchange_n(&g[1], &idle, 1, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) {
            if (!__atomic_load_n(&g[0], __ATOMIC_ACQUIRE)) return 1;
            __atomic_store_n(&g[1], 0, __ATOMIC_RELEASE);
            return 0;
        }
        SwitchToThread();
    }
}
void __cxa_guard_release(void* guard) {
    unsigned char* g = static_cast<unsigned char*>(guard);
    __atomic_store_n(&g[0], 1, __ATOMIC_RELEASE);
    __atomic_store_n(&g[1], 0, __ATOMIC_RELEASE);
}
void __cxa_guard_abort(void* guard) { __atomic_store_n(&static_cast<unsigned char*>(guard)[1], 0, __ATOMIC_RELEASE); }
}
