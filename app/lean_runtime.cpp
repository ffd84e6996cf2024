// The program is built without exceptions. Its allocations come straight from
// the C runtime's heap: the library's own operator new would bring the
// exception machinery (and the terminate handler that demangles names) along
// only to report a failure the program cannot recover from anyway.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
    if (void* memory = std::malloc(size ? size : 1)) {
        return memory;
    }
    std::abort();
}

void operator delete(void* memory) noexcept { std::free(memory); }

// The other forms are the same code under other names: each function of its
// own would cost its code and an unwind entry for nothing. A size passed to
// a sized delete is left unread.
#ifdef __GNUC__
#pragma GCC diagnostic ignored "-Wattribute-alias"
void* operator new[](std::size_t) __attribute__((alias("_Znwy")));
void operator delete[](void*) noexcept __attribute__((alias("_ZdlPv")));
void operator delete(void*, std::size_t) noexcept __attribute__((alias("_ZdlPv")));
void operator delete[](void*, std::size_t) noexcept __attribute__((alias("_ZdlPv")));
#else
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
#endif

// A pure virtual function called during construction or destruction: the
// library's own handler would bring the demangling terminate handler along.
extern "C" void __cxa_pure_virtual() { std::abort(); }

// The program's entry, in place of the C runtime's: that one parses the
// command line into arguments, sets up floating-point and error reporting,
// and thread-local storage, none of which the program uses, and is some 8 KB
// of a program that must stay small. What it must keep doing is here: run the
// constructors of the program's static objects (which register their
// destructors), and run those destructors when the program ends.
#ifndef _MSC_VER
#include <windows.h>

extern "C" void __main();
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int);

// Destructors of static objects are registered with the C library's own
// table, which its exit() runs.
extern "C" int atexit(void (*function)()) { return _onexit(reinterpret_cast<_onexit_t>(function)) ? 0 : -1; }

extern "C" void TessalyStart() {
    __main();
    std::exit(wWinMain(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWDEFAULT));
}
#endif
